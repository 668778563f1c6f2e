#include "device/KeyboardDump.h"

#include "core/Log.h"
#include "device/KeyCodeTable.h"
#include "device/KeyImage.h"
#include "device/KeyTables.h"

#include <fmt/format.h>
#include <fstream>
#include <system_error>

namespace corvane::device {
namespace {

bool writeFile(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out) {
        corvane::logger("device").warn("dump: cannot write {}", path.string());
        return false;
    }
    return true;
}

void dumpImages(IKVKeyBindingSource& source, const std::filesystem::path& folder) {
    const ModelDescriptor& model = modelDescriptor(KeyboardModelMain);
    KeyImageFile image;
    for (unsigned key = 0; key < model.keyCount; ++key) {
        const auto binding = source.keyBinding(key);
        if (!binding || binding->pixels24.size() < kPixels24Size)
            continue;
        const unsigned display = model.keys[key].display;
        convertKeyImage(binding->pixels24, 3, model.isTurned(display), image);
        writeFile(folder / fmt::format("{:03d}.sys", display), image);
    }
}

} // namespace

bool DumpKeyboardFiles(IKVKeyBindingSource& normal, IKVKeyBindingSource& shift,
                       const std::filesystem::path& folder) {
    const auto root = folder / "Tavirex";
    std::error_code error;
    for (const char* name : {"normal", "shift"}) {
        std::filesystem::create_directories(root / name, error);
        if (error) {
            corvane::logger("device").warn("dump: cannot create {}: {}", (root / name).string(),
                                           error.message());
            return false;
        }
    }
    dumpImages(normal, root / "normal");
    dumpImages(shift, root / "shift");

    KeyCodeTable table;
    table.fill(kRecordFill);
    const ModelDescriptor& model = modelDescriptor(KeyboardModelMain);
    for (unsigned key = 0; key < model.keyCount; ++key) {
        if (const auto binding = normal.keyBinding(key)) {
            const uint8_t code = binding->scanCode != 0 ? binding->scanCode : model.keys[key].keyCode;
            setTableRecord(table, model.keys[key].slot, keyCodeRecord(code));
        }
    }
    writeFile(root / "scancode.sys", table);
    return true;
}

} // namespace corvane::device
