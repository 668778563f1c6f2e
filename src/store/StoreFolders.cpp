#include "store/StoreFolders.h"

#include "core/Log.h"
#include "store/FileTree.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kFolderName = "TavirexCorvane";

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string parentOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool isAbsolute(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

// True when `path` is a real folder (not a link) owned by `uid`; a wider mode is narrowed to 0700.
bool isOwnPrivateFolder(const std::string& path, uid_t uid) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid;
    if (ok && (st.st_mode & 077) != 0 && ::fchmod(fd, 0700) != 0) {
        corvane::logger("store").warn("cannot make {} private: {}", path, std::strerror(errno));
        ok = false;
    }
    ::close(fd);
    return ok;
}

} // namespace

KVFolderEnvironment KVFolderEnvironment::fromProcess() {
    KVFolderEnvironment environment;
    environment.configHome = environmentValue("XDG_CONFIG_HOME");
    environment.home = environmentValue("HOME");
    if (environment.home.empty()) {
        if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
            environment.home = entry->pw_dir;
    }
    environment.runtimeDir = environmentValue("XDG_RUNTIME_DIR");
    environment.programDirOverride = environmentValue("CORVANE_PROGRAM_DIR");
    char buffer[PATH_MAX];
    if (const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1); n > 0)
        environment.executablePath.assign(buffer, static_cast<size_t>(n));
    environment.uid = ::getuid();
    return environment;
}

KVStoreFolders::KVStoreFolders(KVFolderEnvironment environment) : m_environment(std::move(environment)) {}

std::string KVStoreFolders::profileFolder() const {
    // Relative values are to be ignored, as the XDG base-directory rules say.
    const std::string base =
        isAbsolute(m_environment.configHome) ? m_environment.configHome : m_environment.home + "/.config";
    return base + "/" + kFolderName;
}

std::string KVStoreFolders::layersFolder() const {
    return profileFolder() + "/Layers";
}

std::string KVStoreFolders::programFolder() const {
    if (!m_environment.programDirOverride.empty())
        return m_environment.programDirOverride;
    // <prefix>/bin/program -> <prefix>/lib/corvane, in the build tree as when installed.
    return parentOf(parentOf(m_environment.executablePath)) + "/lib/corvane";
}

std::string KVStoreFolders::pluginsFolder() const {
    return programFolder() + "/Plugins";
}

const std::string& KVStoreFolders::temporaryFolder() {
    if (!m_temporaryFolder) {
        m_temporaryFolder.emplace();
        // A runtime folder named but missing (as after su) falls back to the shared temporary folder.
        if (isAbsolute(m_environment.runtimeDir))
            m_temporaryFolder =
                makePrivateFolder(m_environment.runtimeDir + "/" + kFolderName, m_environment.uid);
        if (m_temporaryFolder->empty())
            m_temporaryFolder = makePrivateFolder(m_environment.tmpDir + "/" + kFolderName + "-" +
                                                      std::to_string(m_environment.uid),
                                                  m_environment.uid);
        if (m_temporaryFolder->empty())
            corvane::logger("store").error("no private temporary folder could be made");
    }
    return *m_temporaryFolder;
}

std::string KVStoreFolders::editorScratchFolder() {
    const std::string& temporary = temporaryFolder();
    if (temporary.empty())
        return {};
    const std::string scratch = temporary + "/Editor Layots";
    return corvane::ensureFolder(scratch) ? scratch : std::string();
}

std::string KVStoreFolders::makePrivateFolder(const std::string& path, uid_t uid) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        corvane::logger("store").error("cannot create {}: {}", path, std::strerror(errno));
        return {};
    }
    if (isOwnPrivateFolder(path, uid))
        return path;
    corvane::logger("store").warn(
        "{} is a link, not a folder, or belongs to someone else; using a fresh folder beside it", path);
    std::string fresh = path + "-XXXXXX";
    if (!::mkdtemp(fresh.data())) {
        corvane::logger("store").error("cannot create a private folder beside {}: {}", path,
                                       std::strerror(errno));
        return {};
    }
    return fresh;
}
