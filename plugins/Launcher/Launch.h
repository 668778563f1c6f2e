// Starting programs and opening files or web addresses, detached from the configurator.
#pragma once

#include <string>
#include <vector>

namespace corvane_plugins {

// What a Launcher key starts; the first one set wins.
struct LaunchTarget {
    std::string command; // a command line, split like a shell would but without running one
    std::string path;    // a file or folder, opened with the desktop's default program
    std::string url;     // a web address, opened the same way
    std::string desktop; // the desktop entry the command came from, for its icon and name

    bool empty() const { return command.empty() && path.empty() && url.empty(); }
};

// Splits a command line into words with wordexp: quotes, variables and ~ work as in a shell; command
// substitution and the shell's operators (| ; & < > and the like) are refused, so a line that needs a
// shell says so ("sh -c '...'"). Returns no words and sets `error` when the line cannot be split.
std::vector<std::string> splitCommandLine(const std::string& line, std::string& error);

// The program's full path: `name` itself when it has a slash, else the first match in PATH; empty
// when there is no such executable.
std::string findProgram(const std::string& name);

// Starts the target; false (logged) when it cannot be started.
bool launch(const LaunchTarget& target);

// A single-quoted word that wordexp reads back as `text` exactly.
std::string quoteWord(const std::string& text);

} // namespace corvane_plugins
