#include "device/DeviceFileSet.h"

#include "core/Log.h"
#include "device/FirmwareVersion.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fmt/format.h>

using namespace corvane::device;

namespace {

constexpr uint8_t kUnwrittenFill = 0x77; // differs from anything staged, so the first staging writes
constexpr auto kTablePause = std::chrono::milliseconds(300);

size_t roundUp(size_t length, size_t unit) {
    return (length + unit - 1) & ~(unit - 1);
}

const std::array<uint8_t, KVDeviceFileSet::kLayoutSize>& displayMap(bool active) {
    static constexpr auto make = [](uint8_t value) {
        std::array<uint8_t, KVDeviceFileSet::kLayoutSize> map{};
        map.fill(value);
        return map;
    };
    static constexpr auto on = make(0x01);
    static constexpr auto off = make(0x00);
    return active ? on : off;
}

} // namespace

KVDeviceFileSet::KVDeviceFileSet(std::string volumeRoot, uint32_t model, uint32_t sectorSize)
    : m_root(std::move(volumeRoot)), m_model(model), m_sectorSize(sectorSize) {}

KVDeviceFileSet::~KVDeviceFileSet() {
    closeFiles();
}

std::string KVDeviceFileSet::filePath(const std::string& volumeRoot, unsigned entry) {
    switch (entry) {
    case KeyCodeEntry:
        return volumeRoot + "vTavirex/scancode.sys";
    case CommandEntry:
        return volumeRoot + "vTavirex/order.sys";
    case LayoutEntry:
        return volumeRoot + "vTavirex/layout.sys";
    case FirmwareEntry:
        return volumeRoot + "vTavirex/upgrade.bin";
    default:
        return volumeRoot + fmt::format("vTavirex/dynamic/{:03d}.sys", entry - kFirstDisplayEntry + 1);
    }
}

std::unique_ptr<KVDeviceFileSet> KVDeviceFileSet::build(const std::string& volumeRoot, uint32_t model,
                                                        uint32_t sectorSize) {
    if (sectorSize == 0 || (sectorSize & (sectorSize - 1)) != 0) {
        corvane::logger("device").warn("sector size {} of {} is not a power of two", sectorSize, volumeRoot);
        return nullptr;
    }
    std::unique_ptr<KVDeviceFileSet> set(new KVDeviceFileSet(volumeRoot, model, sectorSize));
    if (!set->layOut())
        return nullptr;
    return set;
}

bool KVDeviceFileSet::layOut() {
    const size_t sector = m_sectorSize;
    m_alignment = directIoAlignment(m_root, sector);
    // Each buffer starts on a direct-I/O boundary; each file is written with its sector-rounded length.
    const auto stride = [&](size_t length) { return roundUp(roundUp(length, sector), m_alignment); };
    const size_t displays = descriptor().displayCount;
    const size_t total = 2 * (displays * stride(kKeyImageSize) + stride(kLayoutSize) +
                              stride(kKeyCodeTableSize) + stride(kCommandSize)) +
                         stride(kVersionSize);
    m_block.reset(static_cast<uint8_t*>(std::aligned_alloc(m_alignment, roundUp(total, m_alignment))));
    if (!m_block)
        return false;
    std::memset(m_block.get(), kUnwrittenFill, total);
    uint8_t* p = m_block.get();

    // The version decides whether this is a usable keyboard at all.
    {
        KVDirectFile file;
        std::optional<size_t> got;
        if (file.open(m_root + "vTavirex/version.sys", KVDirectFile::Access::Read))
            got = file.readWhole(p, roundUp(kVersionSize, sector));
        // Only the bytes the firmware wrote count: the rest of the buffer is fill.
        const size_t length = got.value_or(0);
        m_version.assign(reinterpret_cast<const char*>(p), strnlen(reinterpret_cast<const char*>(p), length));
        p += stride(kVersionSize);
    }
    if (m_version.empty()) {
        corvane::logger("device").info("no version text below {}; not a usable keyboard", m_root);
        return false;
    }
    m_pauseAfterTable = corvane::device::pausesAfterKeyCodeTable(m_version);

    m_files = std::vector<DeviceFile>(displays + kFirstDisplayEntry);
    for (unsigned i = kFirstDisplayEntry; i < m_files.size(); ++i) {
        m_files[i].assign(filePath(m_root, i), p, p + stride(kKeyImageSize), roundUp(kKeyImageSize, sector));
        p += 2 * stride(kKeyImageSize);
    }
    m_files[LayoutEntry].assign(filePath(m_root, LayoutEntry), p, p + stride(kLayoutSize),
                                roundUp(kLayoutSize, sector));
    p += 2 * stride(kLayoutSize);

    std::memset(p, kRecordFill, kKeyCodeTableSize);
    if (corvane::device::readsKeyCodeTable(m_version)) {
        KVDirectFile file;
        std::optional<size_t> got;
        if (file.open(filePath(m_root, KeyCodeEntry), KVDirectFile::Access::Read))
            got = file.readWhole(p, roundUp(kKeyCodeTableSize, sector));
        if (got) {
            // A short file holds fewer records; the missing ones send nothing.
            if (*got < kKeyCodeTableSize)
                std::memset(p + *got, kRecordFill, kKeyCodeTableSize - *got);
            std::memcpy(m_foundTable.data(), p, kKeyCodeTableSize);
            m_hasFoundTable = true;
        } else {
            std::memset(p, kRecordFill, kKeyCodeTableSize);
        }
    }
    std::memcpy(m_currentTable.data(), p, kKeyCodeTableSize);
    m_files[KeyCodeEntry].assign(filePath(m_root, KeyCodeEntry), p, p + stride(kKeyCodeTableSize),
                                 roundUp(kKeyCodeTableSize, sector));
    p += 2 * stride(kKeyCodeTableSize);

    m_files[CommandEntry].assign(filePath(m_root, CommandEntry), p, p + stride(kCommandSize),
                                 roundUp(kCommandSize, sector));
    return true;
}

bool KVDeviceFileSet::stageFile(unsigned index, std::span<const uint8_t> data) {
    if (index >= m_files.size())
        return false;
    return m_files[index].stage(data);
}

bool KVDeviceFileSet::stageKeyImage(unsigned key, std::span<const uint8_t> pixels, unsigned bytesPerPixel) {
    const ModelDescriptor& model = descriptor();
    if (key >= model.keyCount)
        return false;
    const unsigned display = model.keys[key].display;
    if (display == 0 || pixels.size() < kDisplaySide * kDisplaySide * size_t(bytesPerPixel))
        return false;
    KeyImageFile image;
    convertKeyImage(pixels, bytesPerPixel, model.isTurned(display), image);
    return stageFile(kFirstDisplayEntry + display - 1, image);
}

std::optional<bool> KVDeviceFileSet::setKeyCode(unsigned key, uint8_t code) {
    const ModelDescriptor& model = descriptor();
    if (key >= model.keyCount)
        return std::nullopt;
    setTableRecord(m_currentTable, model.keys[key].slot, keyCodeRecord(code));
    return stageKeyCodeTable();
}

bool KVDeviceFileSet::restoreKeyCodes() {
    if (!m_hasFoundTable)
        return false;
    m_currentTable = m_foundTable;
    stageKeyCodeTable();
    return true;
}

bool KVDeviceFileSet::setDisplaysActive(bool active) {
    return stageFile(LayoutEntry, displayMap(active));
}

bool KVDeviceFileSet::stageFirmware(std::span<const uint8_t> image) {
    if (image.size() != kFirmwareImageSize) {
        corvane::logger("device").warn("firmware image of {} bytes refused (must be {})", image.size(),
                                       kFirmwareImageSize);
        return false;
    }
    DeviceFile& entry = m_files[FirmwareEntry];
    if (!entry.hasBuffers()) {
        const size_t length = roundUp(kFirmwareImageSize, m_sectorSize);
        const size_t stride = roundUp(length, m_alignment);
        m_firmwareBlock.reset(static_cast<uint8_t*>(std::aligned_alloc(m_alignment, 2 * stride)));
        if (!m_firmwareBlock)
            return false;
        std::memset(m_firmwareBlock.get(), kUnwrittenFill, 2 * stride);
        entry.assign(filePath(m_root, FirmwareEntry), m_firmwareBlock.get(), m_firmwareBlock.get() + stride,
                     length);
    }
    entry.stage(image);
    return true;
}

void KVDeviceFileSet::queueCommand(std::string text) {
    std::lock_guard lock(m_queueLock);
    m_commands.push_back(std::move(text));
}

void KVDeviceFileSet::flushEntry(unsigned index, const Pause& pause) {
    const auto result = m_files[index].flush();
    if (index == KeyCodeEntry && result == DeviceFile::FlushResult::Written && m_pauseAfterTable && pause)
        pause(kTablePause);
}

void KVDeviceFileSet::flushFiles(const Pause& pause) {
    for (unsigned i = 0; i < m_files.size(); ++i)
        flushEntry(i, pause);

    std::deque<std::string> commands;
    {
        std::lock_guard lock(m_queueLock);
        commands.swap(m_commands);
    }
    // One command per write: the firmware takes the text at the start of the file. The same command as
    // the last one written stages as unchanged and is not written again.
    for (const std::string& command : commands) {
        std::string withZero = command;
        withZero.push_back('\0');
        m_files[CommandEntry].stage(
            std::span(reinterpret_cast<const uint8_t*>(withZero.data()), withZero.size()));
        flushEntry(CommandEntry, pause);
    }
}

void KVDeviceFileSet::closeFiles() {
    for (DeviceFile& file : m_files)
        file.close();
}

unsigned KVDeviceFileSet::totalWrites() const {
    unsigned total = 0;
    for (const DeviceFile& file : m_files)
        total += file.writeCount();
    return total;
}
