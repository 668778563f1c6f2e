#include "images/FileBytes.h"

#include "core/Log.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::images {
namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() { close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    bool close() {
        if (m_fd < 0)
            return true;
        const bool ok = ::close(m_fd) == 0;
        m_fd = -1;
        return ok;
    }

private:
    int m_fd;
};

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

std::string temporaryNameBeside(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    return (target.parent_path() / ("." + target.filename().string() + "." + std::to_string(::getpid()) +
                                    "." + std::to_string(counter++) + ".tmp"))
        .string();
}

void syncFolder(const std::filesystem::path& folder) {
    const std::string name = folder.empty() ? std::string(".") : folder.string();
    FileDescriptor dir(::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0 && ::fsync(dir.get()) != 0)
        corvane::logger("images").warn("could not flush folder {}: {}", name, std::strerror(errno));
}

} // namespace

std::optional<std::vector<std::uint8_t>> readFileBytes(const std::string& path, std::size_t maxBytes) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        corvane::logger("images").warn("cannot open {}: {}", path, std::strerror(errno));
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        corvane::logger("images").warn("{} is not a regular file", path);
        return std::nullopt;
    }
    if (static_cast<std::uint64_t>(info.st_size) > maxBytes) {
        corvane::logger("images").warn("{} is {} bytes, more than the {} accepted", path, info.st_size,
                                       maxBytes);
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(file.get(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            corvane::logger("images").warn("cannot read {}: {}", path, std::strerror(errno));
            return std::nullopt;
        }
        if (got == 0)
            break; // the file shrank while we read it
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

bool writeFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes) {
    const std::filesystem::path target(path);
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
        temporary = temporaryNameBeside(target);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        corvane::logger("images").error("cannot create a file beside {}: {}", path, std::strerror(errno));
        return false;
    }
    FileDescriptor file(fd);
    struct stat previous {};
    if (::stat(path.c_str(), &previous) == 0 && S_ISREG(previous.st_mode))
        ::fchmod(fd, previous.st_mode & 07777);
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int writeError = errno;
    if (!file.close() || !written) {
        corvane::logger("images").error("cannot write {}: {}", temporary, std::strerror(writeError));
        ::unlink(temporary.c_str());
        return false;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        corvane::logger("images").error("cannot replace {}: {}", path, std::strerror(errno));
        ::unlink(temporary.c_str());
        return false;
    }
    syncFolder(target.parent_path());
    return true;
}

} // namespace corvane::images
