// Start-up loads every stored key picture of the profile; the editor renders a caption per key change.
#include "images/KVImage.h"
#include "images/KVTextRenderer.h"
#include "images/LoadKeyImage.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <spdlog/spdlog.h>
#include <unistd.h>

namespace {

constexpr int kStoredPictures = 10'000;
constexpr int kLabels = 1'000;

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

// A profile-like folder of 48 x 48 PNGs: labels and action pictures with a little noise, so that no two
// files are alike and compression works as on real pictures.
class StoredPictures {
public:
    StoredPictures()
        : m_folder(std::filesystem::temp_directory_path() / ("corvane-bench-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(m_folder);
        KVTextRenderer renderer;
        std::mt19937 random(1);
        for (int i = 0; i < kStoredPictures; ++i) {
            auto picture = renderer.RenderPlainLabel(std::to_string(i));
            for (int spot = 0; spot < 20; ++spot)
                picture->pixels()[random() % picture->pixels().size()] = static_cast<std::uint8_t>(random());
            const auto png = picture->encodePng();
            const auto path = (m_folder / (std::to_string(i) + ".png")).string();
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
            m_paths.push_back(path);
        }
    }
    ~StoredPictures() { std::filesystem::remove_all(m_folder); }
    const std::vector<std::string>& paths() const { return m_paths; }

private:
    std::filesystem::path m_folder;
    std::vector<std::string> m_paths;
};

const StoredPictures& storedPictures() {
    static const StoredPictures pictures;
    return pictures;
}

void BM_ReloadTenThousandStoredPictures(benchmark::State& state) {
    const auto& paths = storedPictures().paths();
    for (auto _ : state) {
        std::vector<KVPtr<KVImage>> loaded;
        loaded.reserve(paths.size());
        for (const auto& path : paths) {
            auto picture = std::make_shared<KVImage>();
            picture->setSourcePath(path);
            if (!picture->reload())
                state.SkipWithError("a stored picture did not load");
            loaded.push_back(std::move(picture));
        }
        state.counters["rss_mb_holding_all"] = static_cast<double>(residentKilobytes()) / 1024.0;
        benchmark::DoNotOptimize(loaded.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(paths.size()));
}
BENCHMARK(BM_ReloadTenThousandStoredPictures)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LoadKeyImageScaled(benchmark::State& state) {
    const std::string path = storedPictures().paths().front();
    // A 100 x 50 picture that must be scaled, as a user's own picture would be.
    KVImage wide(100, 50);
    std::fill(wide.pixels().begin(), wide.pixels().end(), 90);
    const auto widePath = std::filesystem::path(path).parent_path() / "wide.png";
    wide.save(widePath.string());
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadKeyImage(widePath.string()));
}
BENCHMARK(BM_LoadKeyImageScaled)->Unit(benchmark::kMicrosecond);

void BM_LoadBuiltInActionPicture(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadKeyImage("ACTION_MEDIA_MUTE"));
}
BENCHMARK(BM_LoadBuiltInActionPicture)->Unit(benchmark::kMicrosecond);

void BM_EncodeKeyPicturePng(benchmark::State& state) {
    KVTextRenderer renderer;
    const auto picture = renderer.RenderPlainLabel("Esc");
    for (auto _ : state)
        benchmark::DoNotOptimize(picture->encodePng());
}
BENCHMARK(BM_EncodeKeyPicturePng)->Unit(benchmark::kMicrosecond);

void BM_RenderThousandLabels(benchmark::State& state) {
    KVTextRenderer renderer;
    KVLabelStyle style;
    style.size = 14;
    std::vector<std::string> texts;
    for (int i = 0; i < kLabels; ++i)
        texts.push_back(i % 3 == 0 ? "Num Lock " + std::to_string(i) : "F" + std::to_string(i));
    for (auto _ : state)
        for (const auto& text : texts)
            benchmark::DoNotOptimize(renderer.RenderLabel(text, style));
    state.SetItemsProcessed(state.iterations() * kLabels);
    state.counters["fonts_made"] = renderer.fontsMade();
}
BENCHMARK(BM_RenderThousandLabels)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    spdlog::set_level(spdlog::level::warn);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
