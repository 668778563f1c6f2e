#pragma once

#include "core/KVPtr.h"
#include "plugins/PluginCall.h"
#include "plugins/PluginInfo.h"

#include <corvane/plugin.h>
#include <memory>
#include <string>
#include <string_view>

class KVPropertyNode;
class KVPluginInstanceFactory;
class KVPluginInstanceRegister;

// One stored setting of a plug-in instance, as the editor changes it (an empty value: not stored).
struct KVPluginSettingValue {
    std::string key;
    std::string value;

    bool operator==(const KVPluginSettingValue&) const = default;
};

// One use of one sub-plug-in: a view or action on a key of a layer, or a condition of a layers item.
// It is also the context handed to the plug-in (the operations every context shares are here; the
// kinds add theirs). Its stored form ("PluginID", "SubPluginID", "PluginProperties", and any entry this
// version does not know) is written back as it was read, so a plug-in that is missing today loses
// nothing. Main thread, except the context operations the interface allows from any thread.
class KVKeyPluginInstance : public std::enable_shared_from_this<KVKeyPluginInstance> {
public:
    KVKeyPluginInstance(KVPluginInstanceFactory* host, unsigned keyIndex);
    virtual ~KVKeyPluginInstance();
    KVKeyPluginInstance(const KVKeyPluginInstance&) = delete;
    KVKeyPluginInstance& operator=(const KVKeyPluginInstance&) = delete;

    virtual KVSubPluginKind kind() const = 0;

    const std::string& PluginID() const { return m_pluginId; }
    const std::string& SubPluginID() const { return m_subPluginId; }
    void SetIds(std::string pluginId, std::string subPluginId);
    unsigned KeyIndex() const { return m_keyIndex; }
    void SetKeyIndex(unsigned keyIndex) { m_keyIndex = keyIndex; }
    // The "PluginProperties" dictionary, the very node that was loaded; empty until there is one.
    const KVPtr<KVPropertyNode>& Properties() const { return m_properties; }

    void Load(const KVPropertyNode& dictionary);
    void Save(KVPropertyNode& dictionary) const;
    // A fresh instance of the same sub-plug-in with a copy of the settings, for another key.
    void CopySettingsFrom(const KVKeyPluginInstance& other);
    // One stored property as the editor's settings show it; empty when it is not stored.
    std::string Setting(std::string_view key) const;
    // Stores `value` under `key`; an empty value removes the entry, so the plug-in's default applies
    // again. A plug-in reads its settings when its object is made: the caller makes the object anew.
    void SetSetting(const std::string& key, const std::string& value);

    // The plug-in, looked up when first needed; empty when it is not installed.
    const KVPtr<KVPluginInfo>& Plugin();
    void SetPlugin(KVPtr<KVPluginInfo> plugin) { m_plugin = std::move(plugin); }
    KVPtr<KVSubPluginInfo> SubPluginInfo();

    // Whether the plug-in gave an object that may still be called.
    bool HasObject() const;
    IKVPluginObject* Object() const { return HasObject() ? m_object : nullptr; }
    bool IsActive() const { return m_active; }

    // Settings panel (the editor): `parent` is the QWidget* to create it in. Answers the panel widget.
    void* CreatePanel(void* parent);
    void DestroyPanel();
    bool HasPanel() const { return m_panel != nullptr; }
    // While a panel is shown, or at any time for a sub-plug-in that takes files and has no panel; true
    // when the plug-in accepted the file.
    bool DropFile(const std::string& path);

    // The context operations shared by every kind.
    void setProperty(const char* key, const char* value);
    bool getProperty(const char* key, char* buffer) const;
    void copyItemPath(char* buffer) const;
    void copyItemName(char* buffer) const;
    void release();

protected:
    // Brings the instance into use: into its register, then the plug-in object is made.
    void activateInstance();
    // Deactivation and destruction: the panel goes, then the object. The instance stays registered
    // until the plug-in releases it.
    void destroyObject();
    // The context pointer handed to the plug-in's factory and operations.
    virtual void* contextInterface() = 0;
    KVPluginInstanceRegister* instanceRegister() const;
    KVPluginInstanceFactory* host() const { return m_host; }

    // Calls into the plug-in object through the guard; nothing happens when there is none.
    template <class R, class F> R callObject(std::string_view operation, F&& call, R failed = R{});
    void callObjectOperation(std::string_view operation, void (*IKVPluginObjectVtbl::*op)(IKVPluginObject*));

private:
    void createObject();
    IKVPluginPanel* panel();
    void afterCall();

    KVPluginInstanceFactory* m_host;
    std::string m_pluginId;
    std::string m_subPluginId;
    unsigned m_keyIndex;
    KVPtr<KVPluginInfo> m_plugin;
    bool m_lookedUp = false;
    KVPtr<KVPropertyNode> m_properties;
    KVPtr<KVPropertyNode> m_unknownEntries;
    IKVPluginObject* m_object = nullptr;
    void* m_panel = nullptr;
    bool m_active = false;
};

template <class R, class F>
R KVKeyPluginInstance::callObject(std::string_view operation, F&& call, R failed) {
    IKVPluginObject* object = Object();
    if (!object)
        return failed;
    const R result = corvane::plugins::guardedCall<R>(
        *m_plugin, operation, m_subPluginId, [&] { return call(object); }, failed);
    afterCall();
    return result;
}
