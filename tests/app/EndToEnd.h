#pragma once
// What the end-to-end tests share: a profile folder with a virtual keyboard, the configurator started on it
// as a user's session would, the files of the keyboard's displays, and an orderly end.

#include "device/KeyTables.h"
#include "support/ConfiguratorProcess.h"

#include <cstdlib>
#include <filesystem>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <signal.h>

inline bool haveProgram(const char* name) {
    return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

// The file in which the virtual keyboard keeps the picture shown on `key`.
inline std::string displayFile(const std::string& keyboard, const char* key) {
    const auto& model = corvane::device::modelDescriptor(KeyboardModelMain);
    const auto index = *corvane::device::findKeyByName(KeyboardModelMain, key);
    return keyboard + fmt::format("/vTavirex/dynamic/{:03}.sys", unsigned(model.keys[index].display));
}

// Ends the program as the session does; it must still be running and end in order.
inline void stopOrderly(ConfiguratorProcess& process) {
    EXPECT_EQ(::kill(process.pid, SIGTERM), 0);
    EXPECT_EQ(process.wait(), 0) << process.log;
}

// A fresh profile folder with a virtual keyboard in it; removed with the object.
struct KeyboardHome {
    std::string home = privateFolder();
    std::string keyboard = home + "/keyboard";
    std::string table = keyboard + "/vTavirex/scancode.sys"; // the key-code table

    KeyboardHome() = default;
    KeyboardHome(const KeyboardHome&) = delete;
    KeyboardHome& operator=(const KeyboardHome&) = delete;
    ~KeyboardHome() { std::filesystem::remove_all(home); }

    // Makes the virtual keyboard (`options` as the tool takes them); true when it was made.
    bool init(const std::string& options = "") const {
        return runKeyboardTool("init '" + keyboard + "'" + options) == 0;
    }
    // The configurator on this keyboard, headless and minimised, with `more` arguments and `environment`.
    ConfiguratorProcess start(const std::vector<std::pair<std::string, std::string>>& environment = {},
                              const std::vector<std::string>& more = {}) const {
        std::vector<std::string> args{"--headless", "-minimized", "--virtual-keyboard", keyboard};
        args.insert(args.end(), more.begin(), more.end());
        return startConfigurator(args, home, environment);
    }
    std::string display(const char* key) const { return readFile(displayFile(keyboard, key)); }
};
