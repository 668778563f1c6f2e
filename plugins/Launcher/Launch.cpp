#include "Launch.h"

#include "../common/PluginObject.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wordexp.h>

extern char** environ;

namespace corvane_plugins {

std::vector<std::string> splitCommandLine(const std::string& line, std::string& error) {
    wordexp_t words{};
    int result = wordexp(line.c_str(), &words, WRDE_NOCMD);
    std::vector<std::string> argv;
    if (result == 0) {
        argv.assign(words.we_wordv, words.we_wordv + words.we_wordc);
        if (argv.empty())
            error = "it is empty";
    } else if (result == WRDE_BADCHAR) {
        error = "it uses | & ; < > ( ) { } or a line break, which need a shell: write sh -c '...'";
    } else if (result == WRDE_CMDSUB) {
        error = "command substitution is not run: write sh -c '...'";
    } else {
        error = "its quotes do not match";
    }
    if (result == 0 || result == WRDE_NOSPACE)
        wordfree(&words);
    return argv;
}

std::string findProgram(const std::string& name) {
    auto executable = [](const std::string& path) {
        struct stat info {};
        return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
    };
    if (name.empty())
        return {};
    if (name.find('/') != std::string::npos)
        return executable(name) ? name : std::string();
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    for (size_t start = 0; start <= folders.size();) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        std::string folder = end > start ? folders.substr(start, end - start) : ".";
        if (executable(folder + "/" + name))
            return folder + "/" + name;
        start = end + 1;
    }
    return {};
}

std::string quoteWord(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

namespace {

// Runs argv through "setsid --fork": the program gets its own session, and its parent, setsid, exits
// at once and is reaped here, so the program is adopted by init and never lingers as our zombie.
bool spawnDetached(std::vector<std::string> argv) {
    std::string setsid = findProgram("setsid");
    if (setsid.empty()) {
        logError("Launcher", "cannot find setsid (util-linux) to start %s", argv[0].c_str());
        return false;
    }
    argv.insert(argv.begin(), {setsid, "--fork"});
    std::vector<char*> args;
    for (std::string& arg : argv)
        args.push_back(arg.data());
    args.push_back(nullptr);

    // A program must not inherit the configurator's signal mask or ignored signals, nor its input.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

    pid_t pid = 0;
    int result = posix_spawn(&pid, setsid.c_str(), &files, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    if (result != 0) {
        logError("Launcher", "cannot start %s: %s", argv[2].c_str(), std::strerror(result));
        return false;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

bool runCommandLine(const std::string& line) {
    std::string error;
    std::vector<std::string> argv = splitCommandLine(line, error);
    if (argv.empty()) {
        logError("Launcher", "cannot run \"%s\": %s", line.c_str(), error.c_str());
        return false;
    }
    // Checked here because the detached program's own failure to start reaches nobody.
    std::string program = findProgram(argv[0]);
    if (program.empty()) {
        logError("Launcher", "cannot run \"%s\": no program %s", line.c_str(), argv[0].c_str());
        return false;
    }
    argv[0] = program;
    return spawnDetached(std::move(argv));
}

bool openWithDesktop(const std::string& target) {
    std::vector<std::string> argv;
    if (std::string opener = findProgram("xdg-open"); !opener.empty())
        argv = {opener, target};
    else if (std::string gio = findProgram("gio"); !gio.empty())
        argv = {gio, "open", target};
    else {
        logError("Launcher", "cannot open %s: neither xdg-open nor gio is installed", target.c_str());
        return false;
    }
    return spawnDetached(std::move(argv));
}

} // namespace

bool launch(const LaunchTarget& target) {
    if (!target.command.empty())
        return runCommandLine(target.command);
    // A leading dash would read as an option of the opener.
    if (!target.path.empty())
        return openWithDesktop(target.path[0] == '-' ? "./" + target.path : target.path);
    if (!target.url.empty() && target.url[0] != '-')
        return openWithDesktop(target.url);
    logError("Launcher",
             "nothing to run: set \"Command\", \"Path\" or \"URL\", or drop a program on the key");
    return false;
}

} // namespace corvane_plugins
