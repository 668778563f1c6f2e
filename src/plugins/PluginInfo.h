#pragma once

#include "core/KVPtr.h"

#include <corvane/plugin.h>
#include <optional>
#include <string>
#include <vector>

class KVPropertyNode;

enum class KVSubPluginKind { View, Action, Condition };

// A setting the editor offers for a sub-plug-in, from its "Settings" dictionary (entries in their
// order, keyed by the property they set in "PluginProperties"). Values are stored as text: a free text,
// one of "Choices", or a whole number between "Minimum" and "Maximum" when both are given.
struct KVPluginSettingInfo {
    std::string key;
    std::string title;       // "Title"; the key when absent
    std::string description; // "Description", shown as the control's tooltip
    std::string placeholder; // "Placeholder": what an empty value means
    std::vector<std::string> choices;
    std::optional<std::pair<long, long>> range;
};

// One view, action or condition a plug-in offers, as its description states it.
struct KVSubPluginInfo {
    std::string SubPluginID;
    std::string displayName;
    std::string description;
    bool hasPanel = false;     // "HasUI" is exactly "true"
    bool acceptsFiles = false; // "SupportsFilesDragDrop" is exactly "true"
    std::string pairedId;      // a view's "DefaultAction", an action's "DefaultView"; empty for conditions
    std::vector<KVPluginSettingInfo> settings;

    static KVPtr<KVSubPluginInfo> fromNode(const KVPropertyNode& node, KVSubPluginKind kind);
};

// The factories a plug-in library exports; null where it exports none.
struct KVPluginEntryPoints {
    KVCreateViewFunction createView = nullptr;
    KVCreateActionFunction createAction = nullptr;
    KVCreateConditionFunction createCondition = nullptr;

    bool any() const { return createView || createAction || createCondition; }
};

// One installed plug-in: its description, and its library once loaded. The library is loaded at most
// once per run (a failed load is not tried again) and unloaded when the last reference goes.
class KVPluginInfo {
public:
    using SubPlugins = std::vector<KVPtr<KVSubPluginInfo>>;

    KVPluginInfo(std::string pluginId, std::string libraryPath);
    ~KVPluginInfo();
    KVPluginInfo(const KVPluginInfo&) = delete;
    KVPluginInfo& operator=(const KVPluginInfo&) = delete;

    // From a "Plugins" entry: identity from its name, then "DisplayName", "Description", "Path" and the
    // "Views", "Actions" and "Conditions" dictionaries.
    static KVPtr<KVPluginInfo> fromNode(const KVPropertyNode& node);
    // A plug-in whose factories live in this program (tests, and built-in helpers): counts as loaded.
    static KVPtr<KVPluginInfo> inProcess(std::string pluginId, KVPluginEntryPoints entryPoints);

    const std::string& PluginID() const { return m_pluginId; }
    const std::string& displayName() const { return m_displayName; }
    const std::string& description() const { return m_description; }
    const std::string& libraryPath() const { return m_libraryPath; }
    void setDisplayName(std::string name) { m_displayName = std::move(name); }
    void setDescription(std::string text) { m_description = std::move(text); }

    const SubPlugins& subPlugins(KVSubPluginKind kind) const;
    // Appends, first removing one of the same identity.
    void addSubPlugin(KVSubPluginKind kind, KVPtr<KVSubPluginInfo> subPlugin);
    KVPtr<KVSubPluginInfo> findSubPlugin(KVSubPluginKind kind, const std::string& subPluginId) const;

    // Loads the library unless it is loaded or has failed. Answers whether it is loaded now.
    bool ensureLoaded();
    bool isLoaded() const { return m_module != nullptr || m_inProcess; }
    const KVPluginEntryPoints& entryPoints() const { return m_entryPoints; }
    // Why the library cannot be used: the load error, "No factory functions", or the failure that
    // disabled it. Empty while it is fine.
    const std::string& loadError() const { return m_loadError; }

    // A call into the library crashed: it is never called again in this run, and never unloaded (its
    // threads may still run).
    void markFailed(std::string reason);
    bool hasFailed() const { return m_failed; }
    // Whether calls into the library may be made.
    bool isUsable() const { return isLoaded() && !m_failed; }

private:
    void load();
    void unload();

    std::string m_pluginId;
    std::string m_displayName;
    std::string m_description;
    SubPlugins m_views;
    SubPlugins m_actions;
    SubPlugins m_conditions;
    void* m_module = nullptr;
    KVPluginEntryPoints m_entryPoints;
    std::string m_loadError;
    std::string m_libraryPath;
    bool m_inProcess = false;
    bool m_failed = false;
};
