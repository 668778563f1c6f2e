#pragma once

#include <string>
#include <sys/types.h>

// The few file operations that saving goes through. The plain class calls the system; tests derive from
// it to make a chosen step fail, so the failure paths of a save can be exercised.
class KVFileSystem {
public:
    virtual ~KVFileSystem() = default;

    // Each returns what the system call returns (-1 with errno set on failure).
    virtual int openFile(const std::string& path, int flags, mode_t mode);
    virtual ssize_t writeSome(int fd, const void* data, size_t size);
    virtual int syncFile(int fd);
    virtual int closeFile(int fd);
    virtual int renameFile(const std::string& from, const std::string& to);
    virtual int removeFile(const std::string& path);

    // The instance that calls the system.
    static KVFileSystem& system();
};
