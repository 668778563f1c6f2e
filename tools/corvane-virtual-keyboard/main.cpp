// corvane-virtual-keyboard: a stand-in keyboard for people and tests without the hardware.
#include "KeyboardCommands.h"
#include "VirtualKeyboardFolder.h"
#include "WatchWindow.h"
#include "core/Log.h"

#include <cstdio>
#include <spdlog/spdlog.h>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace corvane::vkbd;

constexpr const char* kUsage =
    "usage: corvane-virtual-keyboard COMMAND DIR ...\n"
    "  init DIR [--firmware TEXT] [--model 0|1]   make DIR a keyboard (default firmware TavirexV0.76b, model "
    "0)\n"
    "  press DIR KEY...                           press keys (names like Escape, A, F1, KeypadEnter, or "
    "#index)\n"
    "  release DIR KEY...                         release keys\n"
    "  click DIR KEY                              send the key's signature on the standard interface\n"
    "  render DIR OUT.png                         draw what the keyboard shows\n"
    "  watch DIR                                  show the keyboard live in a window\n";

int usage(const std::string& problem) {
    if (!problem.empty())
        std::fprintf(stderr, "corvane-virtual-keyboard: %s\n", problem.c_str());
    std::fputs(kUsage, stderr);
    return 2;
}

int result(const std::string& error) {
    if (error.empty())
        return 0;
    spdlog::error("{}", error);
    return 1;
}

int init(const std::filesystem::path& dir, const std::vector<std::string>& args) {
    InitOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i + 1 >= args.size())
            return usage("missing value after " + args[i]);
        if (args[i] == "--firmware") {
            options.firmware = args[++i];
        } else if (args[i] == "--model") {
            const std::string& model = args[++i];
            if (model != "0" && model != "1")
                return usage("the model is 0 (main keyboard) or 1 (auxiliary keypad)");
            options.model = model == "1" ? 1 : 0;
        } else {
            return usage("unknown option " + args[i]);
        }
    }
    return result(initVirtualKeyboard(dir, options));
}

int keyCommand(std::string_view command, const std::filesystem::path& dir,
               const std::vector<std::string>& args) {
    if (command == "click" && args.size() != 1)
        return usage("click takes one key");
    std::vector<unsigned> keys;
    if (auto error = resolveKeys(dir, args, keys); !error.empty())
        return result(error);
    if (command == "press")
        return result(pressKeys(dir, keys));
    if (command == "release")
        return result(releaseKeys(dir, keys));
    return result(clickKey(dir, keys.front()));
}

} // namespace

int main(int argc, char** argv) {
    corvane::initLogging();
    if (argc < 3)
        return usage(argc == 2 && std::string_view(argv[1]) != "--help" ? "missing DIR" : "");
    const std::string_view command = argv[1];
    const std::filesystem::path dir = argv[2];
    const std::vector<std::string> args(argv + 3, argv + argc);
    if (command == "init")
        return init(dir, args);
    if (command == "press" || command == "release" || command == "click")
        return keyCommand(command, dir, args);
    if (command == "render") {
        if (args.size() != 1)
            return usage("render takes DIR and OUT.png");
        return result(renderFolder(dir, args.front()));
    }
    if (command == "watch") {
        if (!args.empty())
            return usage("watch takes only DIR");
        return runWatch(dir, argc, argv);
    }
    return usage("unknown command " + std::string(command));
}
