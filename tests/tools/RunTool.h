#pragma once

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <vector>

// Runs the built corvane-virtual-keyboard with the arguments, its messages silenced; its exit code.
inline int runTool(const std::vector<std::string>& args) {
    std::string command = std::string(CORVANE_BIN_DIR) + "/corvane-virtual-keyboard";
    for (const auto& arg : args)
        command += " '" + arg + "'";
    command += " 2>/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
