#pragma once

// A profile with two layers of the user's, each making one key send another code while its program is
// in front: F11 sends 30 for `first`, F12 sends 31 for `second`.

#include <filesystem>
#include <fstream>
#include <string>

namespace foreground_profile {

inline void writeDocument(const std::filesystem::path& path, const std::string& entries) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                        << entries << "\n</dict>\n</plist>\n";
}

inline std::string foregroundLayer(const std::string& program, const std::string& key, int scanCode,
                                   int guid) {
    return "<key>DisplayName</key><string>While " + program +
           " is in front</string><key>Disabled</key><false/>"
           "<key>Conditions</key><dict><key>{00000000-0000-0000-0000-00000000000" +
           std::to_string(guid) +
           "}</key><dict>"
           "<key>Type</key><string>application</string><key>PCApplicationID</key><string>" +
           program +
           "</string>"
           "<key>Predicate</key><string>is foreground</string></dict></dict>"
           "<key>Buttons</key><dict><key>" +
           key + "</key><dict><key>ScanCode</key><string>" + std::to_string(scanCode) +
           "</string></dict></dict>";
}

inline void writeProfile(const std::string& home, const std::string& first, const std::string& second) {
    const std::filesystem::path layers = home + "/config/TavirexCorvane/Layers";
    writeDocument(layers / "Group.plist", "<key>DisplayName</key><string>root</string><key>ItemOrder</"
                                          "key><array><string>user_layers</string></array>");
    writeDocument(layers / "user_layers/Group.plist",
                  "<key>DisplayName</key><string>Layers</string><key>Disabled</key><false/>"
                  "<key>ItemOrder</key><array><string>first</string><string>second</string></array>");
    writeDocument(layers / "user_layers/first/Layer.plist", foregroundLayer(first, "F11", 30, 1));
    writeDocument(layers / "user_layers/second/Layer.plist", foregroundLayer(second, "F12", 31, 2));
}

} // namespace foreground_profile
