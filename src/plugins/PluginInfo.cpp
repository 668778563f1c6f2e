#include "plugins/PluginInfo.h"

#include "core/Log.h"
#include "store/PropertyNode.h"

#include <algorithm>
#include <charconv>
#include <dlfcn.h>
#include <fmt/format.h>

namespace {

constexpr const char* kAbiVersionSymbol = "corvane_plugin_abi_version";

std::string versionText(uint32_t version) {
    return fmt::format("{}.{}", version >> 16, version & 0xFFFF);
}

// Why a library built for `version` cannot be used here; empty when it can. A newer minor version may
// call context operations this program does not have.
std::string versionMismatch(uint32_t version) {
    const uint32_t major = version >> 16;
    const uint32_t minor = version & 0xFFFF;
    if (major == CORVANE_PLUGIN_ABI_VERSION_MAJOR && minor <= CORVANE_PLUGIN_ABI_VERSION_MINOR)
        return {};
    return fmt::format("built for plug-in interface {}, but this program offers {}", versionText(version),
                       versionText(CORVANE_PLUGIN_ABI_VERSION));
}

const char* kindKey(KVSubPluginKind kind) {
    switch (kind) {
    case KVSubPluginKind::View:
        return "Views";
    case KVSubPluginKind::Action:
        return "Actions";
    case KVSubPluginKind::Condition:
        break;
    }
    return "Conditions";
}

std::optional<long> wholeNumber(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::vector<KVPluginSettingInfo> readSettings(const KVPropertyNode& subPlugin) {
    std::vector<KVPluginSettingInfo> settings;
    const auto list = subPlugin.findChild("Settings");
    if (!list)
        return settings;
    for (const auto& entry : list->children()) {
        if (!entry || entry->name().empty())
            continue;
        KVPluginSettingInfo setting;
        setting.key = entry->name();
        setting.title = entry->childValue("Title", setting.key);
        setting.description = entry->childValue("Description");
        setting.placeholder = entry->childValue("Placeholder");
        if (const auto choices = entry->findChild("Choices"))
            for (const auto& choice : choices->children())
                setting.choices.push_back(choice->name());
        const auto minimum = wholeNumber(entry->childValue("Minimum"));
        const auto maximum = wholeNumber(entry->childValue("Maximum"));
        if (minimum && maximum && *minimum <= *maximum)
            setting.range = std::pair{*minimum, *maximum};
        else if (minimum || maximum)
            corvane::logger("plugins").warn(
                "setting \"{}\" of {}: \"Minimum\" and \"Maximum\" are not a range; "
                "it is edited as text",
                setting.key, subPlugin.name());
        settings.push_back(std::move(setting));
    }
    return settings;
}

} // namespace

KVPtr<KVSubPluginInfo> KVSubPluginInfo::fromNode(const KVPropertyNode& node, KVSubPluginKind kind) {
    auto info = std::make_shared<KVSubPluginInfo>();
    info->SubPluginID = node.name();
    info->displayName = node.childValue("DisplayName");
    info->description = node.childValue("Description");
    info->hasPanel = node.childValue("HasUI") == "true";
    info->acceptsFiles = node.childValue("SupportsFilesDragDrop") == "true";
    if (kind == KVSubPluginKind::View)
        info->pairedId = node.childValue("DefaultAction");
    else if (kind == KVSubPluginKind::Action)
        info->pairedId = node.childValue("DefaultView");
    info->settings = readSettings(node);
    return info;
}

KVPluginInfo::KVPluginInfo(std::string pluginId, std::string libraryPath)
    : m_pluginId(std::move(pluginId)), m_libraryPath(std::move(libraryPath)) {}

KVPluginInfo::~KVPluginInfo() {
    unload();
}

KVPtr<KVPluginInfo> KVPluginInfo::fromNode(const KVPropertyNode& node) {
    auto info = std::make_shared<KVPluginInfo>(node.name(), node.childValue("Path"));
    info->m_displayName = node.childValue("DisplayName");
    info->m_description = node.childValue("Description");
    for (const auto kind : {KVSubPluginKind::View, KVSubPluginKind::Action, KVSubPluginKind::Condition})
        if (const auto list = node.findChild(kindKey(kind)))
            for (const auto& entry : list->children())
                if (entry)
                    info->addSubPlugin(kind, KVSubPluginInfo::fromNode(*entry, kind));
    return info;
}

KVPtr<KVPluginInfo> KVPluginInfo::inProcess(std::string pluginId, KVPluginEntryPoints entryPoints) {
    auto info = std::make_shared<KVPluginInfo>(std::move(pluginId), std::string());
    info->m_inProcess = true;
    info->m_entryPoints = entryPoints;
    return info;
}

const KVPluginInfo::SubPlugins& KVPluginInfo::subPlugins(KVSubPluginKind kind) const {
    switch (kind) {
    case KVSubPluginKind::View:
        return m_views;
    case KVSubPluginKind::Action:
        return m_actions;
    case KVSubPluginKind::Condition:
        break;
    }
    return m_conditions;
}

void KVPluginInfo::addSubPlugin(KVSubPluginKind kind, KVPtr<KVSubPluginInfo> subPlugin) {
    if (!subPlugin)
        return;
    auto& list = const_cast<SubPlugins&>(subPlugins(kind));
    std::erase_if(list,
                  [&](const auto& existing) { return existing->SubPluginID == subPlugin->SubPluginID; });
    list.push_back(std::move(subPlugin));
}

KVPtr<KVSubPluginInfo> KVPluginInfo::findSubPlugin(KVSubPluginKind kind,
                                                   const std::string& subPluginId) const {
    const auto& list = subPlugins(kind);
    const auto it = std::find_if(list.begin(), list.end(),
                                 [&](const auto& sub) { return sub->SubPluginID == subPluginId; });
    return it == list.end() ? nullptr : *it;
}

bool KVPluginInfo::ensureLoaded() {
    if (!isLoaded() && m_loadError.empty())
        load();
    return isLoaded();
}

void KVPluginInfo::load() {
    dlerror();
    void* module = ::dlopen(m_libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* error = dlerror();
        m_loadError = error ? error : "the library could not be loaded";
        corvane::logger("plugins").error("plug-in \"{}\" cannot be loaded: {}", m_pluginId, m_loadError);
        return;
    }
    // The interface version is read before any other symbol, so a library built for another interface
    // is never called.
    const auto* version = static_cast<const uint32_t*>(::dlsym(module, kAbiVersionSymbol));
    std::string mismatch =
        version ? versionMismatch(*version)
                : fmt::format("built without {}, so for no known plug-in interface; this program offers {}",
                              kAbiVersionSymbol, versionText(CORVANE_PLUGIN_ABI_VERSION));
    if (!mismatch.empty()) {
        ::dlclose(module);
        m_loadError = std::move(mismatch);
        corvane::logger("plugins").error("plug-in \"{}\" is not used: {}", m_pluginId, m_loadError);
        return;
    }
    m_module = module;
    m_entryPoints.createView = reinterpret_cast<KVCreateViewFunction>(::dlsym(module, "createView"));
    m_entryPoints.createAction = reinterpret_cast<KVCreateActionFunction>(::dlsym(module, "createAction"));
    m_entryPoints.createCondition =
        reinterpret_cast<KVCreateConditionFunction>(::dlsym(module, "createCondition"));
    if (!m_entryPoints.any()) {
        // It stays loaded and simply offers nothing.
        m_loadError = "No factory functions";
        corvane::logger("plugins").error("plug-in \"{}\": {}", m_pluginId, m_loadError);
    }
}

void KVPluginInfo::markFailed(std::string reason) {
    if (m_failed)
        return;
    m_failed = true;
    m_loadError = std::move(reason);
    corvane::logger("plugins").error("plug-in \"{}\" is disabled for this run: {}", m_pluginId, m_loadError);
}

void KVPluginInfo::unload() {
    // A library that crashed may have left threads running inside it; unmapping it would bring them down
    // with the program, so it stays mapped until the process ends.
    if (m_module && !m_failed)
        ::dlclose(m_module);
    m_module = nullptr;
    m_entryPoints = {};
}
