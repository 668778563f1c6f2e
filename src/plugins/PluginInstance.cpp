#include "plugins/PluginInstance.h"

#include "core/Log.h"
#include "plugins/PluginHolders.h"
#include "plugins/PluginInstanceFactory.h"
#include "plugins/PluginRegistry.h"
#include "plugins/PluginText.h"
#include "store/PropertyNode.h"

namespace {

constexpr const char* kPluginIdKey = "PluginID";
constexpr const char* kSubPluginIdKey = "SubPluginID";
constexpr const char* kPropertiesKey = "PluginProperties";

bool isOwnKey(const std::string& name) {
    return name == kPluginIdKey || name == kSubPluginIdKey || name == kPropertiesKey || name == "Type";
}

} // namespace

KVKeyPluginInstance::KVKeyPluginInstance(KVPluginInstanceFactory* host, unsigned keyIndex)
    : m_host(host), m_keyIndex(keyIndex) {}

KVKeyPluginInstance::~KVKeyPluginInstance() = default;

void KVKeyPluginInstance::SetIds(std::string pluginId, std::string subPluginId) {
    m_pluginId = std::move(pluginId);
    m_subPluginId = std::move(subPluginId);
    m_plugin.reset();
    m_lookedUp = false;
}

void KVKeyPluginInstance::Load(const KVPropertyNode& dictionary) {
    SetIds(dictionary.childValue(kPluginIdKey), dictionary.childValue(kSubPluginIdKey));
    m_properties = dictionary.findChild(kPropertiesKey);
    m_unknownEntries.reset();
    for (const auto& entry : dictionary.children()) {
        if (!entry || isOwnKey(entry->name()))
            continue;
        if (!m_unknownEntries)
            m_unknownEntries = KVPropertyNode::create("Unknown");
        m_unknownEntries->appendNewChild(entry);
    }
}

void KVKeyPluginInstance::Save(KVPropertyNode& dictionary) const {
    dictionary.setChild(KVPropertyNode::create(kPluginIdKey, m_pluginId));
    dictionary.setChild(KVPropertyNode::create(kSubPluginIdKey, m_subPluginId));
    if (m_properties)
        dictionary.setChild(m_properties);
    if (m_unknownEntries)
        for (const auto& entry : m_unknownEntries->children())
            dictionary.appendNewChild(entry);
}

void KVKeyPluginInstance::CopySettingsFrom(const KVKeyPluginInstance& other) {
    SetIds(other.m_pluginId, other.m_subPluginId);
    m_plugin = other.m_plugin;
    m_lookedUp = other.m_lookedUp;
    m_properties = other.m_properties ? other.m_properties->copy() : nullptr;
    m_unknownEntries = other.m_unknownEntries ? other.m_unknownEntries->copy() : nullptr;
}

std::string KVKeyPluginInstance::Setting(std::string_view key) const {
    return m_properties ? m_properties->childValue(key) : std::string();
}

void KVKeyPluginInstance::SetSetting(const std::string& key, const std::string& value) {
    if (!value.empty()) {
        setProperty(key.c_str(), value.c_str());
        return;
    }
    if (m_properties)
        m_properties->removeChild(key);
}

const KVPtr<KVPluginInfo>& KVKeyPluginInstance::Plugin() {
    if (!m_plugin && !m_lookedUp && m_host && m_host->registry()) {
        m_lookedUp = true;
        m_plugin = m_host->registry()->find(m_pluginId);
    }
    return m_plugin;
}

KVPtr<KVSubPluginInfo> KVKeyPluginInstance::SubPluginInfo() {
    const auto& plugin = Plugin();
    return plugin ? plugin->findSubPlugin(kind(), m_subPluginId) : nullptr;
}

bool KVKeyPluginInstance::HasObject() const {
    return m_object && m_plugin && m_plugin->isUsable();
}

KVPluginInstanceRegister* KVKeyPluginInstance::instanceRegister() const {
    if (!m_host)
        return nullptr;
    switch (kind()) {
    case KVSubPluginKind::View:
        return &m_host->views();
    case KVSubPluginKind::Action:
        return &m_host->actions();
    case KVSubPluginKind::Condition:
        break;
    }
    return &m_host->conditions();
}

void KVKeyPluginInstance::activateInstance() {
    m_active = true;
    // Only an instance owned through KVPtr can be kept alive for its plug-in.
    auto* instances = weak_from_this().expired() ? nullptr : instanceRegister();
    if (instances)
        instances->insert(shared_from_this());
    createObject();
    // Without an object no plug-in will ever release the instance; keeping it would only hold up the exit.
    if (instances && !m_object)
        instances->remove(this);
}

void KVKeyPluginInstance::createObject() {
    if (m_object)
        return;
    const auto& plugin = Plugin();
    if (!plugin || !plugin->ensureLoaded())
        return;
    const auto& entry = plugin->entryPoints();
    void* context = contextInterface();
    const char* subId = m_subPluginId.c_str();
    IKVPluginObject* object = nullptr;
    switch (kind()) {
    case KVSubPluginKind::View:
        if (entry.createView)
            object =
                corvane::plugins::guardedCall<IKVPluginObject*>(*plugin, "createView", m_subPluginId, [&] {
                    return entry.createView(subId, static_cast<IKVViewPluginContext*>(context));
                });
        break;
    case KVSubPluginKind::Action:
        if (entry.createAction)
            object =
                corvane::plugins::guardedCall<IKVPluginObject*>(*plugin, "createAction", m_subPluginId, [&] {
                    return entry.createAction(subId, static_cast<IKVActionPluginContext*>(context));
                });
        break;
    case KVSubPluginKind::Condition:
        if (entry.createCondition)
            object = corvane::plugins::guardedCall<IKVPluginObject*>(
                *plugin, "createCondition", m_subPluginId, [&] {
                    return entry.createCondition(subId, static_cast<IKVConditionPluginContext*>(context));
                });
        break;
    }
    afterCall();
    // An object without its table cannot be called; a plug-in returning one is refusing.
    m_object = object && object->vtbl ? object : nullptr;
}

void KVKeyPluginInstance::destroyObject() {
    DestroyPanel();
    m_active = false;
    if (IKVPluginObject* object = Object())
        corvane::plugins::guardedCall<int>(*m_plugin, "Destroy", m_subPluginId, [&] {
            if (object->vtbl->Destroy)
                object->vtbl->Destroy(object);
            return 0;
        });
    // A failed plug-in is not called again, so its object is just forgotten.
    m_object = nullptr;
}

void KVKeyPluginInstance::afterCall() {
    if (m_plugin && m_plugin->hasFailed() && m_host)
        m_host->PluginFailed(*m_plugin);
}

void KVKeyPluginInstance::callObjectOperation(std::string_view operation,
                                              void (*IKVPluginObjectVtbl::*op)(IKVPluginObject*)) {
    callObject<int>(operation, [&](IKVPluginObject* object) {
        if (auto function = object->vtbl->*op)
            function(object);
        return 0;
    });
}

IKVPluginPanel* KVKeyPluginInstance::panel() {
    IKVPluginPanel* panel = callObject<IKVPluginPanel*>("GetPanel", [](IKVPluginObject* object) {
        return object->vtbl->GetPanel ? object->vtbl->GetPanel(object) : nullptr;
    });
    return panel && panel->vtbl ? panel : nullptr;
}

void* KVKeyPluginInstance::CreatePanel(void* parent) {
    const auto& plugin = Plugin();
    if (!plugin || !plugin->ensureLoaded() || m_panel)
        return m_panel;
    IKVPluginPanel* settings = panel();
    if (!settings || !settings->vtbl->CreatePanel)
        return nullptr;
    m_panel = callObject<void*>(
        "CreatePanel", [&](IKVPluginObject*) { return settings->vtbl->CreatePanel(settings, parent); });
    return m_panel;
}

void KVKeyPluginInstance::DestroyPanel() {
    if (!m_panel)
        return;
    m_panel = nullptr;
    IKVPluginPanel* settings = panel();
    if (settings && settings->vtbl->DestroyPanel)
        callObject<int>("DestroyPanel", [&](IKVPluginObject*) {
            settings->vtbl->DestroyPanel(settings);
            return 0;
        });
}

bool KVKeyPluginInstance::DropFile(const std::string& path) {
    // A sub-plug-in with a settings panel takes files while its panel shows; one that declares files
    // but has no panel takes them whenever it runs, as it has no other time to.
    if (!m_panel) {
        const auto info = SubPluginInfo();
        if (!info || info->hasPanel || !info->acceptsFiles)
            return false;
    }
    IKVPluginPanel* settings = panel();
    if (!settings || !settings->vtbl->DropFile)
        return false;
    return callObject<int32_t>("DropFile", [&](IKVPluginObject*) {
               return settings->vtbl->DropFile(settings, path.c_str());
           }) == 1;
}

void KVKeyPluginInstance::setProperty(const char* key, const char* value) {
    if (!key || !value)
        return;
    if (!m_properties)
        m_properties = KVPropertyNode::create(kPropertiesKey);
    m_properties->setChild(KVPropertyNode::create(key, value));
}

bool KVKeyPluginInstance::getProperty(const char* key, char* buffer) const {
    if (!key || !buffer)
        return false;
    buffer[0] = '\0';
    const auto entry = m_properties ? m_properties->findChild(key) : nullptr;
    if (!entry)
        return false;
    corvane::plugins::copyToPluginBuffer(entry->value(), buffer);
    return true;
}

void KVKeyPluginInstance::copyItemPath(char* buffer) const {
    if (!buffer)
        return;
    buffer[0] = '\0';
    if (const auto holder = m_host && m_host->holders() ? m_host->holders()->holderOf(*this) : std::nullopt)
        corvane::plugins::copyToPluginBuffer(holder->path, buffer);
}

void KVKeyPluginInstance::copyItemName(char* buffer) const {
    if (!buffer)
        return;
    buffer[0] = '\0';
    if (const auto holder = m_host && m_host->holders() ? m_host->holders()->holderOf(*this) : std::nullopt)
        corvane::plugins::copyToPluginBuffer(holder->name, buffer);
}

void KVKeyPluginInstance::release() {
    auto* instances = instanceRegister();
    if (!instances)
        return;
    // The plug-in may release from inside a call of ours (Destroy), or from its own thread: the last
    // reference is let go on the main thread once that call is over.
    auto held = instances->remove(this);
    if (held && m_host)
        m_host->releaseLater(std::move(held));
}
