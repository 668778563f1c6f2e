#include "layers/PluginInstance.h"

#include "core/Log.h"
#include "images/KVImage.h"
#include "store/PropertyNode.h"

namespace {

constexpr const char* kPluginIdKey = "PluginID";
constexpr const char* kSubPluginIdKey = "SubPluginID";
constexpr const char* kPropertiesKey = "PluginProperties";

} // namespace

KVKeyPluginInstance::KVKeyPluginInstance(unsigned keyIndex, KVPluginObjectFactory* factory)
    : m_keyIndex(keyIndex), m_factory(factory) {}

KVKeyPluginInstance::~KVKeyPluginInstance() = default;

void KVKeyPluginInstance::SetIds(std::string pluginId, std::string subPluginId) {
    m_pluginId = std::move(pluginId);
    m_subPluginId = std::move(subPluginId);
}

void KVKeyPluginInstance::Load(const KVPropertyNode& dictionary) {
    m_pluginId = dictionary.childValue(kPluginIdKey);
    m_subPluginId = dictionary.childValue(kSubPluginIdKey);
    m_properties = dictionary.findChild(kPropertiesKey);
    m_unknownEntries = KVPropertyNode::create("Unknown");
    for (const auto& entry : dictionary.children()) {
        const auto& name = entry->name();
        if (name != kPluginIdKey && name != kSubPluginIdKey && name != kPropertiesKey)
            m_unknownEntries->appendNewChild(entry);
    }
}

void KVKeyPluginInstance::Save(KVPropertyNode& dictionary) const {
    dictionary.addChild(kPluginIdKey, m_pluginId);
    dictionary.addChild(kSubPluginIdKey, m_subPluginId);
    if (m_properties)
        dictionary.setChild(m_properties);
    if (m_unknownEntries)
        for (const auto& entry : m_unknownEntries->children())
            dictionary.appendNewChild(entry);
}

void KVKeyPluginInstance::logCreationFailure(const char* reason) const {
    corvane::logger("layers").error("plug-in \"{}\" failed while creating its object: {}", m_pluginId,
                                    reason);
}

void KVKeyPluginInstance::guarded(const char* what, KVPluginObject& object, void (KVPluginObject::*call)()) {
    try {
        (object.*call)();
    } catch (const std::exception& error) {
        corvane::logger("layers").error("plug-in failed in {}: {}", what, error.what());
    } catch (...) {
        corvane::logger("layers").error("plug-in failed in {}", what);
    }
}

KVViewPluginInstance::~KVViewPluginInstance() {
    Deactivate();
}

void KVViewPluginInstance::Activate() {
    activateWith([&] { return factory()->createView(*this); });
}

void KVViewPluginInstance::Deactivate() {
    StopView();
    setObject(nullptr);
    setActive(false);
}

bool KVViewPluginInstance::StartView() {
    if (!object())
        return false;
    if (m_keyImage)
        return true;
    m_keyImage = std::make_shared<KVImage>(KVImage::kKeySize, KVImage::kKeySize);
    guarded("Start", *object(), &KVPluginObject::Start);
    return true;
}

void KVViewPluginInstance::StopView() {
    if (!m_keyImage)
        return;
    m_keyImage.reset();
    if (object())
        guarded("Stop", *object(), &KVPluginObject::Stop);
}

KVActionPluginInstance::~KVActionPluginInstance() {
    Deactivate();
}

void KVActionPluginInstance::Activate() {
    activateWith([&] { return factory()->createAction(*this); });
}

void KVActionPluginInstance::Deactivate() {
    KeyUp();
    setObject(nullptr);
    setActive(false);
}

void KVActionPluginInstance::KeyDown() {
    if (!object() || m_pressed)
        return;
    m_pressed = true;
    guarded("Start", *object(), &KVPluginObject::Start);
}

void KVActionPluginInstance::KeyUp() {
    if (!m_pressed)
        return;
    m_pressed = false;
    if (object())
        guarded("Stop", *object(), &KVPluginObject::Stop);
}
