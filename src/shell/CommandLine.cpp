#include "shell/CommandLine.h"

#include "core/Log.h"
#include "core/Strings.h"

using corvane::icontains;
using corvane::iequals;

CKVCommandLineInfo CKVCommandLineInfo::parse(int argc, const char* const* argv) {
    CKVCommandLineInfo info;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("--")) {
            std::string_view name = arg.substr(2);
            std::optional<std::string> value;
            if (auto equals = name.find('='); equals != std::string_view::npos) {
                value = std::string(name.substr(equals + 1));
                name = name.substr(0, equals);
            }
            if (name == "virtual-keyboard") {
                if (!value && i + 1 < argc)
                    value = argv[++i];
                if (!value || value->empty())
                    info.errors.push_back("--virtual-keyboard needs a folder");
                else
                    info.virtualKeyboard = *value;
            } else if (name == "update-check" || name == "configurator-install" ||
                       name == "firmware-upgrade" || name == "firmware-install") {
                if (name == "firmware-install" && !value && i + 1 < argc)
                    value = argv[++i];
                info.parseUpdateOption(name, value);
            } else if (name == "headless" || name == "help" || name == "version") {
                if (value)
                    info.errors.push_back("--" + std::string(name) + " takes no value");
                info.ParseParam(name, true, arg);
            } else {
                info.ParseParam(name, true, arg);
            }
            continue;
        }
        const bool isSwitch = arg.size() > 1 && (arg[0] == '-' || arg[0] == '/');
        info.ParseParam(isSwitch ? arg.substr(1) : arg, isSwitch, arg);
    }
    return info;
}

void CKVCommandLineInfo::parseUpdateOption(std::string_view name, const std::optional<std::string>& value) {
    using Kind = KVUpdateCommand::Kind;
    if (updateCommand) {
        errors.push_back("only one update command at a time (--" + std::string(name) + ")");
        return;
    }
    const bool takesValue = name == "firmware-upgrade" || name == "firmware-install";
    if (value && !takesValue) {
        errors.push_back("--" + std::string(name) + " takes no value");
        return;
    }
    if (name == "firmware-install" && (!value || value->empty())) {
        errors.push_back("--firmware-install needs an image file");
        return;
    }
    const Kind kind = name == "update-check"           ? Kind::Check
                      : name == "configurator-install" ? Kind::InstallConfigurator
                      : name == "firmware-upgrade"     ? Kind::UpgradeFirmware
                                                       : Kind::InstallFirmware;
    updateCommand = KVUpdateCommand{kind, value.value_or("")};
}

void CKVCommandLineInfo::ParseParam(std::string_view param, bool isSwitch, std::string_view asWritten) {
    if (isSwitch && iequals(param, "minimized")) {
        minimized = true;
    } else if (isSwitch && iequals(param, "restart")) {
        restart = true;
    } else if (isSwitch && asWritten.starts_with("--") && param == "headless") {
        headless = true;
    } else if (isSwitch && asWritten.starts_with("--") && param == "help") {
        help = true;
    } else if (isSwitch && asWritten.starts_with("--") && param == "version") {
        version = true;
    } else if (icontains(asWritten, ".layers") || icontains(asWritten, ".zqlz")) {
        // Kept exactly as written: "/home/me/x.layers" is a path here, not a switch. ".zqlz" is the other
        // name layer archives go by; the file manager hands both over.
        layersFile = std::string(asWritten);
    } else if (asWritten.starts_with("--")) {
        errors.push_back("unknown option " + std::string(asWritten));
    } else {
        corvane::logger("shell").warn("ignoring command-line parameter \"{}\"", asWritten);
    }
}

std::string CKVCommandLineInfo::usage(std::string_view program) {
    return "Usage: " + std::string(program) +
           " [options] [FILE.layers]\n"
           "Keeps the Corvane keyboard's key displays and key codes in step with your layers.\n"
           "\n"
           "  -minimized, /minimized      start without opening the editor\n"
           "  -restart, /restart          replace a running configurator\n"
           "  FILE.layers                 import a layers archive and show it in the editor\n"
           "  --headless                  no tray icon and no editor; runs without a display\n"
           "  --virtual-keyboard DIR      drive the virtual keyboard in DIR instead of real hardware\n"
           "  --update-check              show the firmware and configurator versions, and the published "
           "ones\n"
           "  --configurator-install      download the published configurator package and open it\n"
           "  --firmware-upgrade[=VERSION]  write the latest (or that) firmware to the keyboard\n"
           "  --firmware-install FILE     check a firmware image file and write it to the keyboard\n"
           "  --help                      show this help and exit\n"
           "  --version                   show the version and exit\n"
           "\n"
           "Environment: CORVANE_LOG=trace|debug|info|warn|error|off sets the log level (stderr);\n"
           "CORVANE_FIRMWARE_URL and CORVANE_CONFIGURATOR_URL replace the update addresses of "
           "Updates.plist.\n";
}
