#include "layers/ArchiveReader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fmt/format.h>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>
#include <zip.h>

namespace corvane::layers {
namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

struct ZipDiscard {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ZipArchive = std::unique_ptr<zip_t, ZipDiscard>;

struct ZipFileClose {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using ZipFile = std::unique_ptr<zip_file_t, ZipFileClose>;

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

std::string openErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = 0;
        unsigned codePoint = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            codePoint = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            codePoint = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size())
            return false;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        constexpr std::array<unsigned, 5> kSmallest{0, 0, 0x80, 0x800, 0x10000};
        if (codePoint < kSmallest[length] || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

// Reads `size` bytes at `offset` of the archive into `out`.
using ByteReader = std::function<bool(std::uint64_t offset, std::size_t size, std::uint8_t* out)>;

std::uint64_t littleEndian(const std::uint8_t* bytes, int count) {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

// The entry count the archive's end record declares (its zip64 form when the short one is saturated),
// read before the archive library builds its directory: a directory of a million entries costs seconds
// and memory even when every entry is empty. Empty when there is no end record; the library then says
// why the file is not an archive.
std::optional<std::uint64_t> declaredEntryCount(std::uint64_t archiveSize, const ByteReader& read) {
    constexpr std::uint32_t kEndRecord = 0x06054b50;
    constexpr std::uint32_t kZip64Locator = 0x07064b50;
    constexpr std::uint32_t kZip64EndRecord = 0x06064b50;
    constexpr std::size_t kEndRecordSize = 22;
    constexpr std::size_t kLocatorSize = 20;
    constexpr std::size_t kLongestComment = 0xFFFF;
    if (archiveSize < kEndRecordSize)
        return std::nullopt;
    const std::size_t tailSize =
        static_cast<std::size_t>(std::min<std::uint64_t>(archiveSize, kEndRecordSize + kLongestComment));
    std::vector<std::uint8_t> tail(tailSize);
    if (!read(archiveSize - tailSize, tailSize, tail.data()))
        return std::nullopt;
    for (std::size_t at = tailSize - kEndRecordSize + 1; at-- > 0;) {
        if (littleEndian(&tail[at], 4) != kEndRecord)
            continue;
        const std::uint64_t count = littleEndian(&tail[at + 10], 2);
        if (count != 0xFFFF || at < kLocatorSize ||
            littleEndian(&tail[at - kLocatorSize], 4) != kZip64Locator)
            return count;
        std::array<std::uint8_t, 56> record{};
        const std::uint64_t recordOffset = littleEndian(&tail[at - kLocatorSize + 8], 8);
        if (recordOffset > archiveSize || archiveSize - recordOffset < record.size() ||
            !read(recordOffset, record.size(), record.data()) ||
            littleEndian(record.data(), 4) != kZip64EndRecord)
            return count;
        return littleEndian(&record[32], 8);
    }
    return std::nullopt;
}

std::optional<KVArchiveStatus> refuseDeclaredCount(std::uint64_t archiveSize, const ByteReader& read,
                                                   const KVArchiveLimits& limits) {
    const auto count = declaredEntryCount(archiveSize, read);
    if (count && *count > limits.maxEntries)
        return KVArchiveStatus::failure(
            fmt::format("it holds {} entries, more than the {} accepted", *count, limits.maxEntries));
    return std::nullopt;
}

// One entry as it will be written: its path below the destination, split into parts.
struct PlannedEntry {
    zip_uint64_t index = 0;
    std::vector<std::string> parts;
    bool folder = false;
};

std::string quoted(std::string_view name) {
    std::string text = "\"";
    for (const char c : name)
        text += (static_cast<unsigned char>(c) < 0x20) ? '?' : c;
    return text + "\"";
}

// The file type an entry made on a Unix system declares; 0 when it declares none.
unsigned unixFileType(zip_t* archive, zip_uint64_t index) {
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) != 0 ||
        system != ZIP_OPSYS_UNIX)
        return 0;
    return (attributes >> 16) & S_IFMT;
}

std::optional<PlannedEntry> planEntry(zip_t* archive, zip_uint64_t index, const KVArchiveLimits& limits,
                                      std::string& why) {
    const char* rawName = zip_get_name(archive, index, ZIP_FL_ENC_RAW);
    if (!rawName) {
        why = fmt::format("entry {} has no readable name", index);
        return std::nullopt;
    }
    const std::string_view name = rawName;
    if (name.size() > limits.maxNameBytes) {
        why = fmt::format("entry {} has a name longer than {} bytes", index, limits.maxNameBytes);
        return std::nullopt;
    }
    if (!isValidUtf8(name)) {
        why = fmt::format("entry {} has a name that is not valid UTF-8", index);
        return std::nullopt;
    }
    const unsigned type = unixFileType(archive, index);
    if (type == S_IFLNK) {
        why = fmt::format("entry {} is a symbolic link", quoted(name));
        return std::nullopt;
    }
    if (type != 0 && type != S_IFREG && type != S_IFDIR) {
        why = fmt::format("entry {} is a device or other special file", quoted(name));
        return std::nullopt;
    }
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, index, 0, &stat) != 0) {
        why = fmt::format("entry {} cannot be read: {}", quoted(name), zip_strerror(archive));
        return std::nullopt;
    }
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE) {
        why = fmt::format("entry {} is encrypted", quoted(name));
        return std::nullopt;
    }
    if ((stat.valid & ZIP_STAT_COMP_METHOD) && !zip_compression_method_supported(stat.comp_method, 0)) {
        why = fmt::format("entry {} is compressed by an unknown method ({})", quoted(name), stat.comp_method);
        return std::nullopt;
    }

    PlannedEntry entry;
    entry.index = index;
    entry.folder = type == S_IFDIR || name.ends_with('/') || name.ends_with('\\');
    if (name.starts_with('/') || name.starts_with('\\') || (name.size() >= 2 && name[1] == ':')) {
        why = fmt::format("entry {} has an absolute name", quoted(name));
        return std::nullopt;
    }
    size_t start = 0;
    while (start <= name.size()) {
        const size_t end = std::min(name.find_first_of("/\\", start), name.size());
        const std::string_view part = name.substr(start, end - start);
        if (part == "..") {
            why = fmt::format("entry {} climbs out of its folder", quoted(name));
            return std::nullopt;
        }
        if (!part.empty() && part != ".")
            entry.parts.emplace_back(part);
        start = end + 1;
    }
    if (entry.parts.size() > limits.maxDepth) {
        why = fmt::format("entry {} is nested deeper than {} folders", quoted(name), limits.maxDepth);
        return std::nullopt;
    }
    if (entry.parts.empty() && !entry.folder) {
        why = fmt::format("entry {} names no file", index);
        return std::nullopt;
    }
    return entry;
}

// Opens (making it when missing) the folder `name` inside `parent`, never through a link.
Fd enterFolder(int parent, const std::string& name) {
    if (::mkdirat(parent, name.c_str(), 0700) != 0 && errno != EEXIST)
        return Fd();
    return Fd(::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

class Unpacker {
public:
    Unpacker(zip_t* archive, int destination, const KVArchiveLimits& limits)
        : m_archive(archive), m_destination(destination), m_limits(limits), m_buffer(kReadChunk) {}

    KVArchiveStatus run() {
        const zip_int64_t count = zip_get_num_entries(m_archive, 0);
        if (count < 0)
            return KVArchiveStatus::failure("its directory cannot be read");
        if (static_cast<zip_uint64_t>(count) > m_limits.maxEntries)
            return KVArchiveStatus::failure(
                fmt::format("it holds {} entries, more than the {} accepted", count, m_limits.maxEntries));
        std::vector<PlannedEntry> plan;
        plan.reserve(static_cast<size_t>(count));
        std::string why;
        for (zip_int64_t index = 0; index < count; ++index) {
            auto entry = planEntry(m_archive, static_cast<zip_uint64_t>(index), m_limits, why);
            if (!entry)
                return KVArchiveStatus::failure(why);
            plan.push_back(std::move(*entry));
        }
        for (const auto& entry : plan)
            if (!unpack(entry, why))
                return KVArchiveStatus::failure(why);
        return KVArchiveStatus::success();
    }

private:
    bool unpack(const PlannedEntry& entry, std::string& why) {
        std::string path;
        for (const auto& part : entry.parts)
            path += (path.empty() ? "" : "/") + part;
        const size_t folders = entry.folder ? entry.parts.size() : entry.parts.size() - 1;
        Fd current(::dup(m_destination));
        for (size_t i = 0; i < folders && current.valid(); ++i)
            current = enterFolder(current.get(), entry.parts[i]);
        if (!current.valid()) {
            why = fmt::format("the folder for {} cannot be made: {}", quoted(path), std::strerror(errno));
            return false;
        }
        return entry.folder || unpackFile(entry, current.get(), path, why);
    }

    bool unpackFile(const PlannedEntry& entry, int folder, const std::string& path, std::string& why) {
        Fd out(::openat(folder, entry.parts.back().c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out.valid()) {
            why = errno == EEXIST
                      ? fmt::format("{} is named twice", quoted(path))
                      : fmt::format("{} cannot be written: {}", quoted(path), std::strerror(errno));
            return false;
        }
        ZipFile in(zip_fopen_index(m_archive, entry.index, 0));
        if (!in) {
            why = fmt::format("{} cannot be opened: {}", quoted(path), zip_strerror(m_archive));
            return false;
        }
        for (;;) {
            const zip_int64_t read = zip_fread(in.get(), m_buffer.data(), m_buffer.size());
            if (read < 0) {
                why = fmt::format("{} is damaged: {}", quoted(path), zip_file_strerror(in.get()));
                return false;
            }
            if (read == 0)
                return true;
            m_unpackedBytes += static_cast<std::uint64_t>(read);
            if (m_unpackedBytes > m_limits.maxTotalBytes) {
                why = fmt::format("it unpacks to more than {} MiB", m_limits.maxTotalBytes / (1024 * 1024));
                return false;
            }
            if (!writeAll(out.get(), m_buffer.data(), static_cast<size_t>(read))) {
                why = fmt::format("{} cannot be written: {}", quoted(path), std::strerror(errno));
                return false;
            }
        }
    }

    zip_t* m_archive;
    int m_destination;
    const KVArchiveLimits& m_limits;
    std::vector<char> m_buffer;
    std::uint64_t m_unpackedBytes = 0;
};

KVArchiveStatus unpackOpened(zip_t* archive, const std::string& destination, const KVArchiveLimits& limits) {
    const Fd folder(::open(destination.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid())
        return KVArchiveStatus::failure(
            fmt::format("the folder {} cannot be opened: {}", destination, std::strerror(errno)));
    return Unpacker(archive, folder.get(), limits).run();
}

} // namespace

KVArchiveStatus unpackArchive(const std::string& archivePath, const std::string& destination,
                              const KVArchiveLimits& limits) {
    Fd fd(::open(archivePath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        return KVArchiveStatus::failure(fmt::format("it cannot be opened: {}", std::strerror(errno)));
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return KVArchiveStatus::failure("it is not a regular file");
    const int raw = fd.get();
    const auto readAt = [raw](std::uint64_t offset, std::size_t size, std::uint8_t* out) {
        return ::pread(raw, out, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
    };
    if (auto refused = refuseDeclaredCount(static_cast<std::uint64_t>(info.st_size), readAt, limits))
        return *refused;
    int error = 0;
    ZipArchive archive(zip_fdopen(fd.get(), ZIP_CHECKCONS, &error));
    if (!archive)
        return KVArchiveStatus::failure(
            fmt::format("it is not a readable zip archive: {}", openErrorText(error)));
    fd.release(); // the archive owns it now
    return unpackOpened(archive.get(), destination, limits);
}

KVArchiveStatus unpackArchiveBytes(std::span<const std::uint8_t> bytes, const std::string& destination,
                                   const KVArchiveLimits& limits) {
    const auto readAt = [bytes](std::uint64_t offset, std::size_t size, std::uint8_t* out) {
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), size, out);
        return true;
    };
    if (auto refused = refuseDeclaredCount(bytes.size(), readAt, limits))
        return *refused;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (!source) {
        zip_error_fini(&error);
        return KVArchiveStatus::failure("it cannot be read from memory");
    }
    ZipArchive archive(zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error));
    if (!archive) {
        zip_source_free(source);
        std::string text = zip_error_strerror(&error);
        zip_error_fini(&error);
        return KVArchiveStatus::failure("it is not a readable zip archive: " + text);
    }
    zip_error_fini(&error);
    return unpackOpened(archive.get(), destination, limits);
}

} // namespace corvane::layers
