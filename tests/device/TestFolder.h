#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

// A scratch folder laid out like the keyboard's volume, removed with the test.
class TestKeyboardFolder {
public:
    explicit TestKeyboardFolder(const std::string& version = "TavirexV0.76b") {
        std::string pattern = (std::filesystem::temp_directory_path() / "corvane-device-XXXXXX").string();
        m_path = mkdtemp(pattern.data());
        std::filesystem::create_directories(m_path / "vTavirex" / "dynamic");
        if (!version.empty())
            write("vTavirex/version.sys", std::vector<uint8_t>(version.begin(), version.end()));
    }
    ~TestKeyboardFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TestKeyboardFolder(const TestKeyboardFolder&) = delete;
    TestKeyboardFolder& operator=(const TestKeyboardFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // The volume root as the device code takes it: a path ending in '/'.
    std::string root() const { return m_path.string() + "/"; }

    void write(const std::string& relative, const std::vector<uint8_t>& bytes) const {
        std::ofstream out(m_path / relative, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    std::vector<uint8_t> read(const std::string& relative) const {
        std::ifstream in(m_path / relative, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    bool exists(const std::string& relative) const { return std::filesystem::exists(m_path / relative); }

private:
    std::filesystem::path m_path;
};
