#pragma once

#include "conditions/ConditionEnvironment.h"
#include "core/KVPtr.h"
#include "store/ConfigurationControllers.h"
#include "system/ProcessTable.h"
#include "system/linux/DesktopEntries.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class CKVMessageDispatch;
class IKVSystemHook;

// One known application.
struct KVApplicationEntry {
    // Full path of the executable as it was found.
    std::string path;
    // The application identifier: the executable's lower-cased file name.
    std::string id;
    // The name its desktop entry gives; empty when none is known.
    std::string description;
    // The desktop entry's icon (theme name or file path); empty when none is known.
    std::string icon;
    // Place of the small icon in the editor's image list; -1 while it has none.
    int imageIndex = -1;

    // What the editor lists it as.
    const std::string& displayName() const { return description.empty() ? id : description; }
};

struct KVAddApplicationResult {
    std::optional<KVApplicationEntry> entry;
    bool isNew = false;
};

// Knows which applications are installed, which run and which one owns the active window; announces
// changes with KVM_RUNNING_APPS_CHANGED and KVM_FOREGROUND_APP_CHANGED. Runs on the loop thread only.
class KVSysApplicationsController final : public IKVSettingsConfiguration, public IKVApplicationStateSource {
public:
    // Catalogues the applications of `sources`, takes the first look at the running processes and
    // starts listening to the hook's process and window messages.
    KVSysApplicationsController(CKVMessageDispatch& dispatch, const IKVSystemHook& hook,
                                KVPtr<IKVProcessTable> processes, const KVApplicationSources& sources);
    ~KVSysApplicationsController() override;
    KVSysApplicationsController(const KVSysApplicationsController&) = delete;
    KVSysApplicationsController& operator=(const KVSysApplicationsController&) = delete;

    // Catalogues an executable. Without `force` only an existing file that a desktop entry names and
    // gives an icon is taken. An identifier already catalogued answers the existing entry, not new.
    KVAddApplicationResult AddApplication(const std::string& path, bool force);
    std::optional<KVApplicationEntry> FindApplication(std::string_view id) const;
    bool IsRunning(std::string_view id) const override;
    bool IsForeground(std::string_view id) const override;
    // The small icon's place in the editor's image list, -1 when the application is not catalogued.
    int ApplicationImageIndex(std::string_view id) override;

    // Puts a catalogued application on the user list, which is what Save() stores.
    bool AddToUserList(std::string_view id);

    // Reads the "Applications" dictionary of the stored configuration; every entry is catalogued, even
    // when its file has gone, and kept on the user list.
    void Load(const KVPtr<KVPropertyNode>& root);
    // Writes the user list into the "Applications" dictionary of `root`, leaving other keys alone.
    void Save(KVPropertyNode& root) const;

    // The configuration store's names for Load and Save.
    void loadSettings(const KVPtr<KVPropertyNode>& root) override { Load(root); }
    void saveSettings(KVPropertyNode& root) override { Save(root); }

    // The identifier of a process or of the process that owns a window; empty when it cannot be told.
    std::string ProcessIdentifier(pid_t pid) const;
    std::string WindowIdentifier(unsigned long window) const;

    const std::vector<KVApplicationEntry>& applications() const { return m_catalogue; }
    // The catalogue as the editor lists it, ordered by display name.
    std::vector<KVApplicationEntry> applicationsByDisplayName() const;
    std::vector<KVApplicationEntry> userApplications() const;
    const std::set<std::string, std::less<>>& runningApplications() const { return m_running; }
    const std::string& foregroundApplication() const { return m_foreground; }

private:
    struct ProgramInfo {
        std::string name;
        std::string icon;
    };

    void OnProcessEvent(unsigned started, long pid);
    void OnWindowActivated(unsigned long window);
    std::set<std::string, std::less<>> runningSnapshot(pid_t ended = 0) const;

    CKVMessageDispatch& m_dispatch;
    const IKVSystemHook& m_hook;
    KVPtr<IKVProcessTable> m_processes;
    // What desktop entries say about programs, by the program's resolved path.
    std::map<std::string, ProgramInfo> m_knownPrograms;

    std::vector<KVApplicationEntry> m_catalogue;
    std::map<std::string, size_t> m_byId;
    std::map<std::string, size_t> m_byDisplayName;
    std::set<std::string, std::less<>> m_running;
    std::string m_foreground;
    std::vector<size_t> m_userList;
};
