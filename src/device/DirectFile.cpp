#include "device/DirectFile.h"

#include "core/Log.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

KVDirectFile::~KVDirectFile() {
    close();
}

bool KVDirectFile::open(const std::string& path, Access access) {
    close();
    m_path = path;
    const int base = (access == Access::Read ? O_RDONLY : O_WRONLY | O_CREAT) | O_CLOEXEC;
    m_fd = ::open(path.c_str(), base | O_DIRECT | (access == Access::Write ? O_DSYNC : 0), 0644);
    m_direct = m_fd >= 0;
    if (m_fd < 0 && errno == EINVAL) // the filesystem has no direct I/O
        m_fd = ::open(path.c_str(), base, 0644);
    if (m_fd < 0) {
        corvane::logger("device").warn("cannot open {}: {}", path, std::strerror(errno));
        return false;
    }
    return true;
}

void KVDirectFile::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_direct = false;
}

bool KVDirectFile::dropDirect() {
    const int flags = fcntl(m_fd, F_GETFL);
    if (flags < 0 || fcntl(m_fd, F_SETFL, flags & ~O_DIRECT) < 0)
        return false;
    corvane::logger("device").debug("{} refuses direct I/O, writing through the page cache", m_path);
    m_direct = false;
    return true;
}

std::optional<size_t> KVDirectFile::readWhole(void* buffer, size_t length) {
    if (m_fd < 0)
        return std::nullopt;
    ssize_t got = pread(m_fd, buffer, length, 0);
    if (got < 0 && errno == EINVAL && m_direct && dropDirect())
        got = pread(m_fd, buffer, length, 0);
    if (got < 0) {
        corvane::logger("device").warn("cannot read {}: {}", m_path, std::strerror(errno));
        return std::nullopt;
    }
    return size_t(got);
}

bool KVDirectFile::writeWhole(const void* buffer, size_t length) {
    if (m_fd < 0)
        return false;
    ssize_t done = pwrite(m_fd, buffer, length, 0);
    // Direct I/O may be refused only at the first transfer (alignment the filesystem wants).
    if (done < 0 && errno == EINVAL && m_direct && dropDirect())
        done = pwrite(m_fd, buffer, length, 0);
    if (done != ssize_t(length)) {
        corvane::logger("device").warn("cannot write {}: {}", m_path,
                                       done < 0 ? std::strerror(errno) : "short write");
        return false;
    }
    // O_DSYNC makes a direct write durable; a buffered one has to be pushed out.
    if (!m_direct && fdatasync(m_fd) != 0) {
        corvane::logger("device").warn("cannot sync {}: {}", m_path, std::strerror(errno));
        return false;
    }
    return true;
}

namespace corvane::device {

size_t directIoAlignment(const std::string& path, size_t minimum) {
    struct statx info {};
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_DIOALIGN, &info) == 0 && (info.stx_mask & STATX_DIOALIGN) &&
        info.stx_dio_mem_align != 0)
        return std::max<size_t>(minimum, info.stx_dio_mem_align);
    return minimum;
}

} // namespace corvane::device
