#pragma once

#include "support/TempDir.h"

#include <cstdint>
#include <vector>

// A scratch folder laid out like the keyboard's volume, removed with the test.
class TestKeyboardFolder : public TempDir {
public:
    explicit TestKeyboardFolder(const std::string& version = "TavirexV0.76b") {
        std::filesystem::create_directories(path() / "vTavirex" / "dynamic");
        if (!version.empty())
            write("vTavirex/version.sys", std::vector<uint8_t>(version.begin(), version.end()));
    }

    // The volume root as the device code takes it: a path ending in '/'.
    std::string root() const { return path().string() + "/"; }

    void write(const std::string& relative, const std::vector<uint8_t>& bytes) const {
        TempDir::write(relative, std::string(bytes.begin(), bytes.end()));
    }
    std::vector<uint8_t> read(const std::string& relative) const {
        const std::string bytes = readWholeFile(path() / relative);
        return {bytes.begin(), bytes.end()};
    }
    bool exists(const std::string& relative) const { return std::filesystem::exists(path() / relative); }
};
