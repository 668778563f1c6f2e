#pragma once

#include "device/DeviceFile.h"
#include "device/KeyCodeTable.h"
#include "device/KeyImage.h"
#include "device/KeyTables.h"

#include <chrono>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The file set of one open keyboard: every file the configurator writes onto the keyboard's volume,
// with all their buffers in one allocation made when the keyboard is opened, the current and found
// key-code tables, the command queue and the firmware's version text. Staging runs on the
// user-interface thread, flushFiles() on the writer thread.
class KVDeviceFileSet {
public:
    // List indices; a display's image is at kFirstDisplayEntry + display - 1.
    enum Entry : unsigned {
        KeyCodeEntry = 0, // "vTavirex/scancode.sys"
        CommandEntry = 1, // "vTavirex/order.sys"
        LayoutEntry = 2,  // "vTavirex/layout.sys", the display on/off map
        FirmwareEntry = 3,
        kFirstDisplayEntry = 4,
    };
    static constexpr size_t kLayoutSize = 114;
    static constexpr size_t kVersionSize = 27;
    static constexpr size_t kCommandSize = 5;

    // Reads the version (and, for firmware that has one, the key-code table) below `volumeRoot` (a path
    // ending in '/') and lays out the buffers. Empty when the version text is empty: no usable keyboard.
    static std::unique_ptr<KVDeviceFileSet> build(const std::string& volumeRoot, uint32_t model,
                                                  uint32_t sectorSize);
    ~KVDeviceFileSet();
    KVDeviceFileSet(const KVDeviceFileSet&) = delete;
    KVDeviceFileSet& operator=(const KVDeviceFileSet&) = delete;

    static std::string filePath(const std::string& volumeRoot, unsigned entry);

    uint32_t model() const { return m_model; }
    const ModelDescriptor& descriptor() const { return corvane::device::modelDescriptor(m_model); }
    uint32_t sectorSize() const { return m_sectorSize; }
    // The firmware's text as read, 8-bit; compared with corvane::device::readsKeyCodeTable and friends.
    const std::string& versionText() const { return m_version; }
    bool pausesAfterKeyCodeTable() const { return m_pauseAfterTable; }

    // Answers whether the entry changed (the writer then has work).
    bool stageFile(unsigned index, std::span<const uint8_t> data);
    // Converts 48 x 48 bottom-up BGR pixels (3 or 4 bytes each) for the key's display.
    bool stageKeyImage(unsigned key, std::span<const uint8_t> pixels, unsigned bytesPerPixel);
    // The key's record becomes {1, code} (empty for 0) and the current table is staged. Empty result
    // for a key outside the model, else whether the table changed.
    std::optional<bool> setKeyCode(unsigned key, uint8_t code);
    // Stages the found table and makes it current again; false when there is none.
    bool restoreKeyCodes();
    bool setDisplaysActive(bool active);
    // Builds the firmware entry with its own buffers; only an image of exactly 655360 bytes is taken.
    bool stageFirmware(std::span<const uint8_t> image);

    // What the system wants the keyboard to send; rebuilt in place by the device controller, then
    // staged with stageKeyCodeTable().
    std::span<uint8_t, corvane::device::kKeyCodeTableSize> currentTable() { return m_currentTable; }
    bool stageKeyCodeTable() { return stageFile(KeyCodeEntry, m_currentTable); }
    bool hasFoundTable() const { return m_hasFoundTable; }
    std::span<const uint8_t, corvane::device::kKeyCodeTableSize> foundTable() const { return m_foundTable; }

    void queueCommand(std::string text);

    // Writer thread: writes every changed entry in list order (pausing after the key-code table where
    // the firmware needs it), then the queued commands one by one.
    using Pause = std::function<void(std::chrono::milliseconds)>;
    void flushFiles(const Pause& pause);
    void closeFiles();

    size_t entryCount() const { return m_files.size(); }
    DeviceFile& entry(unsigned index) { return m_files[index]; }
    unsigned totalWrites() const;

private:
    struct AlignedFree {
        void operator()(uint8_t* block) const { std::free(block); }
    };
    using Block = std::unique_ptr<uint8_t, AlignedFree>;

    KVDeviceFileSet(std::string volumeRoot, uint32_t model, uint32_t sectorSize);
    bool layOut();
    void flushEntry(unsigned index, const Pause& pause);

    std::string m_root;
    uint32_t m_model;
    uint32_t m_sectorSize;
    size_t m_alignment = 0;
    Block m_block;
    Block m_firmwareBlock;
    std::vector<DeviceFile> m_files;
    std::string m_version;
    bool m_pauseAfterTable = false;
    corvane::device::KeyCodeTable m_currentTable{};
    corvane::device::KeyCodeTable m_foundTable{};
    bool m_hasFoundTable = false;
    std::mutex m_queueLock;
    std::deque<std::string> m_commands;
};
