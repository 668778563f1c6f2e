#include "store/FileTree.h"

#include "core/Log.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace corvane {
namespace {

// One open folder per level; this leaves ample room under the usual descriptor limit.
constexpr int kMaxDeleteDepth = 256;

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> entryNames(int folderFd) {
    std::vector<std::string> names;
    const int listFd = ::dup(folderFd);
    if (listFd < 0)
        return names;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    ::closedir(dir);
    return names;
}

bool deleteContents(int folderFd, const std::string& where, int depth) {
    if (depth > kMaxDeleteDepth) {
        corvane::logger("store").error("{} is nested too deeply to delete", where);
        return false;
    }
    bool ok = true;
    for (const auto& name : entryNames(folderFd)) {
        if (::unlinkat(folderFd, name.c_str(), 0) == 0)
            continue;
        if (errno != EISDIR && errno != EPERM) {
            corvane::logger("store").warn("cannot delete {}/{}: {}", where, name, std::strerror(errno));
            ok = false;
            continue;
        }
        const int childFd = ::openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (childFd < 0) {
            corvane::logger("store").warn("cannot open {}/{}: {}", where, name, std::strerror(errno));
            ok = false;
            continue;
        }
        ok = deleteContents(childFd, where + "/" + name, depth + 1) && ok;
        ::close(childFd);
        if (::unlinkat(folderFd, name.c_str(), AT_REMOVEDIR) != 0) {
            corvane::logger("store").warn("cannot delete {}/{}: {}", where, name, std::strerror(errno));
            ok = false;
        }
    }
    return ok;
}

} // namespace

bool pathExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

std::vector<std::string> subfolderNames(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode))
            names.emplace_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool ensureFolder(const std::string& path) {
    if (path.empty())
        return false;
    if (isFolder(path))
        return true;
    // Walk down from the top so that every missing parent is made, each with a single call.
    for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string part = path.substr(0, end);
        if (!part.empty() && part.back() != '/' && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            corvane::logger("store").warn("cannot create the folder {}: {}", part, std::strerror(errno));
            return false;
        }
        if (end == std::string::npos)
            break;
    }
    if (!isFolder(path)) {
        corvane::logger("store").warn("{} exists but is not a folder", path);
        return false;
    }
    return true;
}

bool deleteTree(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode)) {
        // A link or file in the tree's place goes itself; what a link points to stays.
        if (::unlink(path.c_str()) == 0)
            return true;
        corvane::logger("store").warn("cannot delete {}: {}", path, std::strerror(errno));
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        corvane::logger("store").warn("cannot open {}: {}", path, std::strerror(errno));
        return false;
    }
    bool ok = deleteContents(fd, path, 1);
    ::close(fd);
    if (::rmdir(path.c_str()) != 0) {
        corvane::logger("store").warn("cannot delete {}: {}", path, std::strerror(errno));
        ok = false;
    }
    return ok;
}

} // namespace corvane
