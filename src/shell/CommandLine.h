#pragma once

#include "update/UpdateCommands.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the configurator's command line asks for.
//   minimized / restart   switches, written -x, /x or --x, in any letter case
//   a path containing ".layers" (any case) is the layers archive to import, kept as written
//   --headless, --virtual-keyboard DIR, --help, --version
//   --update-check, --configurator-install, --firmware-upgrade[=VERSION], --firmware-install FILE
class CKVCommandLineInfo {
public:
    static CKVCommandLineInfo parse(int argc, const char* const* argv);

    // One parameter; `isSwitch` when it was written with a leading "-" or "/", which `param` no longer has.
    void ParseParam(std::string_view param, bool isSwitch, std::string_view asWritten);

    bool minimized = false;
    bool restart = false;
    std::string layersFile;
    bool headless = false;
    std::optional<std::string> virtualKeyboard;
    // Run once start-up is done.
    std::optional<KVUpdateCommand> updateCommand;
    bool help = false;
    bool version = false;
    // Parameters that could not be understood, with why; the program refuses to start with any.
    std::vector<std::string> errors;

    static std::string usage(std::string_view program);

private:
    void parseUpdateOption(std::string_view name, const std::optional<std::string>& value);
};
