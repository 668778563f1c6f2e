#pragma once

#include <deque>
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
