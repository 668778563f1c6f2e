#pragma once

#include <cstdint>
#include <deque>
#include <fstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <zip.h>

// Builds zip archives entry by entry, with whatever names and file types a test needs, including the
// ones our own writer never makes.
class ZipBuilder {
public:
    explicit ZipBuilder(const std::string& path) {
        int error = 0;
        m_archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        if (!m_archive)
            throw std::runtime_error("cannot create " + path);
    }
    ~ZipBuilder() {
        if (m_archive)
            zip_discard(m_archive);
    }
    ZipBuilder(const ZipBuilder&) = delete;
    ZipBuilder& operator=(const ZipBuilder&) = delete;

    // `mode` is the Unix file type and permissions the entry declares.
    ZipBuilder& file(const std::string& name, std::string content, unsigned mode = S_IFREG | 0644) {
        const std::string& kept = m_contents.emplace_back(std::move(content));
        zip_source_t* source = zip_source_buffer(m_archive, kept.data(), kept.size(), 0);
        const zip_int64_t index = zip_file_add(m_archive, name.c_str(), source, ZIP_FL_ENC_GUESS);
        if (index < 0) {
            zip_source_free(source);
            throw std::runtime_error("cannot add " + name + ": " + zip_strerror(m_archive));
        }
        zip_file_set_external_attributes(m_archive, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                         static_cast<zip_uint32_t>(mode) << 16);
        return *this;
    }
    ZipBuilder& folder(const std::string& name) {
        if (zip_dir_add(m_archive, name.c_str(), ZIP_FL_ENC_GUESS) < 0)
            throw std::runtime_error("cannot add folder " + name);
        return *this;
    }
    void close() {
        if (zip_close(m_archive) != 0)
            throw std::runtime_error(std::string("cannot write the archive: ") + zip_strerror(m_archive));
        m_archive = nullptr;
    }

private:
    zip_t* m_archive = nullptr;
    std::deque<std::string> m_contents;
};

// An archive of `count` empty files "f0", "f1", ... written byte by byte, with the zip64 end records
// that more than 65,535 entries need. (Going through the archive library takes seconds for 100,000.)
inline void writeManyEmptyEntries(const std::string& path, std::uint32_t count) {
    std::string local, central;
    auto put = [](std::string& out, std::uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::string name = "f" + std::to_string(i);
        const auto offset = local.size();
        put(local, 0x04034b50, 4); // local header: version, flags, method, time, date, crc, sizes
        put(local, 20, 2), put(local, 0, 2), put(local, 0, 2), put(local, 0, 2), put(local, 0x21, 2);
        put(local, 0, 4), put(local, 0, 4), put(local, 0, 4);
        put(local, name.size(), 2), put(local, 0, 2);
        local += name;
        put(central, 0x02014b50, 4); // central header, made on Unix
        put(central, 0x031E, 2), put(central, 20, 2), put(central, 0, 2), put(central, 0, 2);
        put(central, 0, 2), put(central, 0x21, 2), put(central, 0, 4), put(central, 0, 4), put(central, 0, 4);
        put(central, name.size(), 2), put(central, 0, 2), put(central, 0, 2), put(central, 0, 2);
        put(central, 0, 2), put(central, (S_IFREG | 0644u) << 16, 4), put(central, offset, 4);
        central += name;
    }
    std::string end;
    const std::uint64_t zip64Record = local.size() + central.size();
    put(end, 0x06064b50, 4), put(end, 44, 8), put(end, 45, 2), put(end, 45, 2), put(end, 0, 4);
    put(end, 0, 4), put(end, count, 8), put(end, count, 8), put(end, central.size(), 8),
        put(end, local.size(), 8);
    put(end, 0x07064b50, 4), put(end, 0, 4), put(end, zip64Record, 8), put(end, 1, 4);
    put(end, 0x06054b50, 4), put(end, 0, 2), put(end, 0, 2), put(end, 0xFFFF, 2), put(end, 0xFFFF, 2);
    put(end, central.size(), 4), put(end, local.size(), 4), put(end, 0, 2);
    std::ofstream(path, std::ios::binary) << local << central << end;
}
