#include "store/FileSystem.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

int KVFileSystem::openFile(const std::string& path, int flags, mode_t mode) {
    return ::open(path.c_str(), flags, mode);
}

ssize_t KVFileSystem::writeSome(int fd, const void* data, size_t size) {
    return ::write(fd, data, size);
}

int KVFileSystem::syncFile(int fd) {
    return ::fsync(fd);
}

int KVFileSystem::closeFile(int fd) {
    return ::close(fd);
}

int KVFileSystem::renameFile(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str());
}

int KVFileSystem::removeFile(const std::string& path) {
    return ::unlink(path.c_str());
}

KVFileSystem& KVFileSystem::system() {
    static KVFileSystem instance;
    return instance;
}
