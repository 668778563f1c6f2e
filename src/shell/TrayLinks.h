#pragma once

#include <string>

// The addresses behind the tray menu's web and mail entries. They are configuration, not code: the
// file "Links.plist" of the program folder holds them (keys AboutPage, ForumPage, SupportAddress).
struct KVTrayLinks {
    std::string aboutPage;
    std::string forumPage;
    std::string supportAddress;

    static constexpr const char* kFileName = "Links.plist";

    // Missing or unreadable file: every address empty, and the reason logged.
    static KVTrayLinks load(const std::string& programFolder);
};
