#include "store/AtomicFile.h"

#include "core/Log.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {
namespace {

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string fileNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A symlink is replaced at its destination, so the link the user made stays a link.
std::string resolveTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return path;
    std::string resolved(real);
    std::free(real);
    return resolved;
}

std::string randomSuffix() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string suffix(12, '0');
    auto bits = generator();
    for (auto& c : suffix) {
        c = kDigits[bits & 0xF];
        bits >>= 4;
    }
    return suffix;
}

bool writeAll(KVFileSystem& fs, int fd, std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = fs.writeSome(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

bool writeFileAtomically(const std::string& path, std::string_view bytes, KVFileSystem& fs) {
    const std::string target = resolveTarget(path);
    const std::string folder = folderOf(target);

    mode_t mode = 0600;
    if (struct stat st{}; ::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        mode = st.st_mode & 07777;

    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
        temporary = folder + "/." + fileNameOf(target) + ".tmp-" + randomSuffix();
        fd = fs.openFile(temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        corvane::logger("store").error("cannot create a temporary file beside {}: {}", target,
                                       std::strerror(errno));
        return false;
    }
    // The umask may have narrowed the mode; the replacement keeps exactly the old file's mode.
    if (::fchmod(fd, mode) != 0)
        corvane::logger("store").warn("cannot set the mode of {}: {}", temporary, std::strerror(errno));

    const char* failedStep = nullptr;
    if (!writeAll(fs, fd, bytes))
        failedStep = "write";
    else if (fs.syncFile(fd) != 0)
        failedStep = "flush";
    const int savedErrno = errno;
    if (fs.closeFile(fd) != 0 && !failedStep)
        failedStep = "close";
    else if (failedStep)
        errno = savedErrno;
    if (!failedStep && fs.renameFile(temporary, target) != 0)
        failedStep = "rename";
    if (failedStep) {
        corvane::logger("store").error("saving {} failed ({}): {}; the previous file is kept", target,
                                       failedStep, std::strerror(errno));
        fs.removeFile(temporary);
        return false;
    }

    // Without this the rename itself may not survive a power cut.
    const int folderFd = fs.openFile(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    const bool folderSynced = folderFd >= 0 && fs.syncFile(folderFd) == 0;
    if (!folderSynced)
        corvane::logger("store").error("saved {} but could not flush its folder: {}", target,
                                       std::strerror(errno));
    if (folderFd >= 0)
        fs.closeFile(folderFd);
    return folderSynced;
}

std::optional<std::string> readFileBounded(const std::string& path, size_t limit) {
    // Non-blocking so that a fifo planted under a document's name cannot hang the reader.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        if (errno != ENOENT)
            corvane::logger("store").warn("cannot open {}: {}", path, std::strerror(errno));
        return std::nullopt;
    }
    std::optional<std::string> content;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        corvane::logger("store").warn("{} is not a regular file", path);
    } else if (static_cast<unsigned long long>(st.st_size) > limit) {
        corvane::logger("store").warn("{} is too large ({} bytes, at most {} are read)", path, st.st_size,
                                      limit);
    } else {
        // Read one byte more than allowed to notice a file that grew after fstat.
        std::string buffer(static_cast<size_t>(st.st_size) + 1, '\0');
        size_t filled = 0;
        bool failed = false;
        while (filled < buffer.size()) {
            const ssize_t n = ::read(fd, buffer.data() + filled, buffer.size() - filled);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                corvane::logger("store").warn("cannot read {}: {}", path, std::strerror(errno));
                failed = true;
                break;
            }
            if (n == 0)
                break;
            filled += static_cast<size_t>(n);
            if (filled == buffer.size() && filled <= limit)
                buffer.resize(std::min(limit + 1, buffer.size() * 2));
        }
        if (!failed && filled <= limit) {
            buffer.resize(filled);
            content = std::move(buffer);
        } else if (!failed) {
            corvane::logger("store").warn("{} grew beyond {} bytes while it was read", path, limit);
        }
    }
    ::close(fd);
    return content;
}

} // namespace corvane
