#include "layers/ArchiveWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <vector>
#include <zip.h>

namespace corvane::layers {
namespace {

constexpr zip_uint32_t kFileAttributes = (S_IFREG | 0644u) << 16;
constexpr zip_uint32_t kFolderAttributes = (S_IFDIR | 0755u) << 16;

std::vector<std::string> sortedEntries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string_view name = entry->d_name;
            if (name != "." && name != "..")
                names.emplace_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class Packer {
public:
    explicit Packer(zip_t* archive) : m_archive(archive) {}

    // Adds everything in `folder` under the archive name prefix `prefix` ("" or "a/b/").
    bool addFolder(const std::string& folder, const std::string& prefix) {
        for (const auto& name : sortedEntries(folder)) {
            const std::string path = folder + "/" + name;
            struct stat info {};
            if (::lstat(path.c_str(), &info) != 0)
                return fail(fmt::format("{} cannot be read: {}", path, std::strerror(errno)));
            if (S_ISDIR(info.st_mode)) {
                if (!addEntryAttributes(zip_dir_add(m_archive, (prefix + name).c_str(), ZIP_FL_ENC_UTF_8),
                                        kFolderAttributes) ||
                    !addFolder(path, prefix + name + "/"))
                    return false;
            } else if (S_ISREG(info.st_mode)) {
                if (!addFile(path, prefix + name))
                    return false;
            }
        }
        return true;
    }

    const std::string& error() const { return m_error; }

private:
    bool addFile(const std::string& path, const std::string& name) {
        zip_source_t* source = zip_source_file(m_archive, path.c_str(), 0, -1);
        if (!source)
            return fail(fmt::format("{} cannot be added: {}", path, zip_strerror(m_archive)));
        const zip_int64_t index = zip_file_add(m_archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            return fail(fmt::format("{} cannot be added: {}", path, zip_strerror(m_archive)));
        }
        if (name.ends_with(".png") &&
            zip_set_file_compression(m_archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0) != 0)
            return fail(zip_strerror(m_archive));
        return addEntryAttributes(index, kFileAttributes);
    }

    bool addEntryAttributes(zip_int64_t index, zip_uint32_t attributes) {
        if (index < 0 || zip_file_set_external_attributes(m_archive, static_cast<zip_uint64_t>(index), 0,
                                                          ZIP_OPSYS_UNIX, attributes) != 0)
            return fail(zip_strerror(m_archive));
        return true;
    }

    bool fail(std::string why) {
        m_error = std::move(why);
        return false;
    }

    zip_t* m_archive;
    std::string m_error;
};

} // namespace

KVArchiveStatus packFolder(const std::string& folder, const std::string& archivePath) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return KVArchiveStatus::failure(fmt::format("{} is not a folder", folder));
    int code = 0;
    // libzip writes a temporary file beside the target and renames it over the target when closing.
    zip_t* archive = zip_open(archivePath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!archive) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        auto status = KVArchiveStatus::failure(
            fmt::format("{} cannot be created: {}", archivePath, zip_error_strerror(&error)));
        zip_error_fini(&error);
        return status;
    }
    Packer packer(archive);
    if (!packer.addFolder(folder, "")) {
        zip_discard(archive);
        return KVArchiveStatus::failure(packer.error());
    }
    if (zip_close(archive) != 0) {
        auto status = KVArchiveStatus::failure(
            fmt::format("{} cannot be written: {}", archivePath, zip_strerror(archive)));
        zip_discard(archive);
        return status;
    }
    return KVArchiveStatus::success();
}

} // namespace corvane::layers
