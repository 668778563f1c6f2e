#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// What the folders are derived from, taken from the process once; tests fill it themselves.
struct KVFolderEnvironment {
    std::string configHome;         // $XDG_CONFIG_HOME
    std::string dataHome;           // $XDG_DATA_HOME
    std::string home;               // $HOME, else the password database
    std::string runtimeDir;         // $XDG_RUNTIME_DIR
    std::string tmpDir = "/tmp";    // where the temporary folder goes without a runtime folder
    std::string programDirOverride; // $CORVANE_PROGRAM_DIR
    std::string executablePath;     // /proc/self/exe
    uid_t uid = 0;

    static KVFolderEnvironment fromProcess();
};

// Where the configuration, scratch files and shipped data live.
//
//   profile folder         $XDG_CONFIG_HOME/TavirexCorvane (else ~/.config/TavirexCorvane)
//   layers folder          profile folder/Layers
//   temporary folder       $XDG_RUNTIME_DIR/TavirexCorvane, else (no runtime folder, or not usable)
//                          /tmp/TavirexCorvane-<uid>; private (0700)
//   editor scratch folder  temporary folder/Editor Layots
//   program folder         $CORVANE_PROGRAM_DIR, else <prefix>/lib/corvane for a program in <prefix>/bin
//                          (installed: /usr/lib/corvane; build tree: build/<preset>/lib/corvane)
//   plug-ins folders       program folder/Plugins, then $XDG_DATA_HOME/corvane/Plugins (else
//                          ~/.local/share/corvane/Plugins), where a user installs plug-ins without root
class KVStoreFolders {
public:
    explicit KVStoreFolders(KVFolderEnvironment environment = KVFolderEnvironment::fromProcess());

    std::string profileFolder() const;
    std::string layersFolder() const;
    std::string programFolder() const;
    std::string pluginsFolder() const;
    std::string userPluginsFolder() const;
    // Both, in the order they are scanned: of two plug-ins with one identity the later one wins.
    std::vector<std::string> pluginsFolders() const;

    // Created on the first call and kept for the life of the object; empty (and logged) when no private
    // folder could be made.
    const std::string& temporaryFolder();
    // Created when missing; empty when the temporary folder is unavailable.
    std::string editorScratchFolder();

    // Makes `path` a private folder of `uid`: an existing one must be a real folder owned by `uid` (its
    // mode is narrowed to 0700). A planted symlink, a file or someone else's folder is refused and a fresh
    // folder with a random suffix is made beside it instead. Empty when neither works.
    static std::string makePrivateFolder(const std::string& path, uid_t uid);

private:
    KVFolderEnvironment m_environment;
    std::optional<std::string> m_temporaryFolder;
};
