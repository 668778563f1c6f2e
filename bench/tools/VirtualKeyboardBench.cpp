// How fast the virtual keyboard turns a folder into a picture: reading and decoding all 114 display
// files, and painting them onto the drawing. The live window does both on every burst of writes.
#include "FirmwareState.h"
#include "KeyboardRenderer.h"
#include "VirtualKeyboardFolder.h"

#include <benchmark/benchmark.h>
#include <cairo.h>
#include <cstdlib>
#include <filesystem>

namespace {

using namespace corvane::vkbd;

// A keyboard folder with every display written and driven, made once for all runs.
const std::filesystem::path& fullFolder() {
    static const std::filesystem::path dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "vkbd-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        std::filesystem::path folder = pattern;
        initVirtualKeyboard(folder, {});
        std::vector<std::uint8_t> image(4608);
        for (std::size_t i = 0; i < image.size(); ++i)
            image[i] = static_cast<std::uint8_t>(i * 7);
        for (unsigned display = 1; display <= 114; ++display)
            writeFile(FolderPaths{folder}.display(display), image);
        writeFile(FolderPaths{folder}.displayMap(), std::vector<std::uint8_t>(114, 1));
        writeFile(FolderPaths{folder}.order(), {'b', '0', '7', '0', 0});
        std::atexit([] {
            std::error_code error;
            std::filesystem::remove_all(fullFolder(), error);
        });
        return folder;
    }();
    return dir;
}

void BM_ReadFirmwareState(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(readFirmwareState(fullFolder(), 0));
}
BENCHMARK(BM_ReadFirmwareState)->Unit(benchmark::kMicrosecond);

void BM_RenderKeyboard(benchmark::State& state) {
    const FirmwareState firmware = readFirmwareState(fullFolder(), 0);
    Surface drawing(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1304, 425));
    for (auto _ : state)
        benchmark::DoNotOptimize(renderKeyboard(drawing.get(), firmware));
}
BENCHMARK(BM_RenderKeyboard)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
