// corvane-ctl: the configuration from scripts and terminals. With a configurator running for this user
// the request goes to it (the keyboard follows at once); otherwise the tool changes the stored profile
// itself, exactly as the program would, while holding the single-instance lock.

#include "control/ControlClient.h"
#include "control/OfflineProfile.h"
#include "control/OneShotLoop.h"
#include "core/Log.h"
#include "store/StoreFolders.h"
#include "update/ProgressPrinter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <spdlog/spdlog.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace {

using nlohmann::json;

constexpr const char* kUsage = R"(usage: corvane-ctl [--json] COMMAND [ARGUMENTS]

  list                              the layer tree: names, identifiers, enabled, active
  status                            keyboard connected or not, model, firmware, active layers
  import FILE.layers|FILE.zqlz      import a layer archive into your layers
  import-picture FILE.png [--name NAME]
                                    a new layer cut from a picture of the whole keyboard
  export ITEM FILE.layers           write a layer or group to an archive
  export-picture LAYER FILE.png     write a layer's pictures onto the keyboard drawing
  dump DIR                          write the keyboard files of what the keyboard shows
  enable ITEM | disable ITEM        switch a layer or group on or off
  delete ITEM                       delete a layer or group
  update check                      the firmware and configurator versions, yours and published
  update install                    download the published configurator package and open it
  firmware upgrade [VERSION]        download the latest firmware (or VERSION) onto the keyboard
  firmware install FILE             check a firmware image file and put it onto the keyboard

ITEM is a layer's or group's identifier or display name. With a configurator running, requests go to
it and the keyboard follows at once; otherwise the stored profile is changed (dump, update and firmware
need the running configurator). Exit status: 0 done, 1 refused (reason on stderr), 2 usage.
)";

// Which arguments of a request name files or folders (rather than a layer, a version or a name).
std::vector<size_t> pathArguments(const KVControlRequest& request) {
    const std::string& command = request.command;
    if (command == "import" || command == "import-picture" || command == "dump")
        return {0};
    if (command == "export" || command == "export-picture")
        return {1};
    if (command == "firmware" && request.arguments.size() == 2 && request.arguments[0] == "install")
        return {1};
    return {};
}

int usageError(const std::string& why) {
    std::fprintf(stderr, "corvane-ctl: %s\n%s", why.c_str(), kUsage);
    return 2;
}

void printTree(const json& items, int depth) {
    for (const auto& item : items) {
        std::printf("%*s%s%s  %s  [%s%s%s]\n", depth * 2, "", item.value("name", "").c_str(),
                    item.value("kind", "") == "group" ? "/" : "", item.value("id", "").c_str(),
                    item.value("enabled", false) ? "enabled" : "disabled",
                    item.value("active", false) ? ", active" : "",
                    item.value("builtIn", false) ? ", built in" : "");
        if (item.contains("children"))
            printTree(item["children"], depth + 1);
    }
}

void printText(const KVControlRequest& request, const json& data) {
    if (data.is_null())
        return;
    if (request.command == "list") {
        printTree(data.value("items", json::array()), 0);
    } else if (request.command == "status") {
        const json keyboard = data.value("keyboard", json::object());
        if (keyboard.value("connected", false))
            std::printf("keyboard: connected (%s, firmware %s)\n", keyboard.value("model", "").c_str(),
                        keyboard.value("firmware", "").c_str());
        else
            std::printf("keyboard: %s\n", data.value("answeredBy", "") == "configurator"
                                              ? "not connected"
                                              : "unknown (no configurator is running)");
        std::printf("active layers:");
        const json active = data.value("activeLayers", json::array());
        if (active.empty())
            std::printf(" none");
        for (const auto& layer : active)
            std::printf("\n  %s  %s", layer.value("name", "").c_str(), layer.value("id", "").c_str());
        std::printf("\n");
    } else if (data.is_object() && data.contains("name")) {
        std::printf("%s  %s\n", data.value("name", "").c_str(), data.value("id", "").c_str());
    } else if (data.is_object() && data.contains("folder")) {
        std::printf("%s\n", data.value("folder", "").c_str());
    } else if (data.is_string()) {
        std::printf("%s\n", data.get<std::string>().c_str());
    }
}

// Holds the single-instance lock while the tool works on the profile, so that a configurator started
// meanwhile waits instead of loading a half-written profile. Empty when a configurator holds it.
struct InstanceLock {
    int fd = -1;
    ~InstanceLock() {
        if (fd >= 0)
            ::close(fd);
    }
    bool take(const std::string& folder) {
        fd = ::open((folder + "/instance.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        return fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    }
};

} // namespace

int main(int argc, char** argv) {
    corvane::initLogging();
    bool asJson = false;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--json")
            asJson = true;
        else if (word == "--help" || word == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else
            words.push_back(word);
    }
    if (words.empty())
        return usageError("no command given");
    const auto arity = corvane::control::argumentCount(words.front());
    if (!arity)
        return usageError("unknown command \"" + words.front() + "\"");
    KVControlRequest request{words.front(), {words.begin() + 1, words.end()}};
    if (request.arguments.size() < arity->least || request.arguments.size() > arity->most)
        return usageError("wrong number of arguments for \"" + request.command + "\"");

    // The running configurator has its own working folder: paths travel absolute.
    for (size_t index : pathArguments(request))
        if (index < request.arguments.size())
            request.arguments[index] = std::filesystem::absolute(request.arguments[index]).string();

    KVStoreFolders folders;
    const std::string& runtime = folders.temporaryFolder();
    if (runtime.empty()) {
        std::fprintf(stderr, "corvane-ctl: no private temporary folder\n");
        return 1;
    }

    KVControlAnswer answer;
    InstanceLock lock;
    if (!lock.take(runtime)) {
        KVProgressPrinter printer = KVProgressPrinter::forStderr();
        const auto sent =
            KVControlClient(runtime + "/dispatch.sock").send(request, [&printer](unsigned percent) {
                printer.show(percent);
            });
        printer.finish();
        if (sent.reach == KVControlClient::Reach::NoInstance)
            answer = KVControlAnswer::refused("a configurator holds the lock but does not answer");
        else
            answer = sent.answer;
    } else {
        KVOneShotLoop loop;
        KVOfflineProfile profile(folders, loop);
        answer = profile.commands().execute(request);
        loop.run();
    }

    if (!answer.ok) {
        std::fprintf(stderr, "corvane-ctl: %s\n", answer.error.c_str());
        if (asJson)
            std::printf("%s\n", corvane::control::encodeAnswer(answer).c_str());
        return 1;
    }
    if (asJson)
        std::printf("%s\n", answer.data.is_null()
                                ? "null"
                                : answer.data.dump(2, ' ', false, json::error_handler_t::replace).c_str());
    else
        printText(request, answer.data);
    return 0;
}
