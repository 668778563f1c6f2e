#include "layers/BindingEdit.h"

#include "images/KVImage.h"
#include "plugins/ActionPluginInstance.h"
#include "plugins/ViewPluginInstance.h"
#include "store/PropertyNode.h"

namespace corvane::layers {
namespace {

// An instance copied through its stored form, so that the copy keeps every entry (even those of a
// plug-in that is not installed) and shares no settings with the original.
template <class Instance>
KVPtr<Instance> copyInstance(const KVPtr<Instance>& source, unsigned keyIndex,
                             KVPluginInstanceFactory* plugins) {
    if (!source)
        return nullptr;
    auto stored = KVPropertyNode::create("Plugin");
    source->Save(*stored);
    auto copy = std::make_shared<Instance>(plugins, keyIndex);
    copy->Load(*stored->deepCopy());
    return copy;
}

template <class Instance>
KVPtr<Instance> newInstance(unsigned keyIndex, KVPluginInstanceFactory* plugins, const std::string& pluginId,
                            const std::string& subPluginId) {
    if (pluginId.empty())
        return nullptr;
    auto instance = std::make_shared<Instance>(plugins, keyIndex);
    instance->SetIds(pluginId, subPluginId);
    return instance;
}

} // namespace

KVKeyBinding copiedBinding(const KVKeyBinding& target, const KVKeyBinding& source, unsigned fields,
                           unsigned keyIndex, KVPluginInstanceFactory* plugins) {
    KVKeyBinding result = target;
    if (fields & KV_FIELD_IMAGE) {
        result.image = source.image ? std::make_shared<KVImage>(*source.image) : nullptr;
        if (result.image)
            result.image->setChanged(true);
    }
    if (fields & KV_FIELD_VIEW_PLUGIN)
        result.viewPlugin = copyInstance(source.viewPlugin, keyIndex, plugins);
    if (fields & KV_FIELD_ACTION_PLUGIN)
        result.actionPlugin = copyInstance(source.actionPlugin, keyIndex, plugins);
    if (fields & KV_FIELD_SCAN_CODE)
        result.scanCode = source.scanCode;
    if (fields & KV_FIELD_KEYSTROKE)
        result.keystroke = source.keystroke;
    if (fields & KV_FIELD_ACTION_CODE)
        result.actionCode = source.actionCode;
    if (fields & KV_FIELD_PROPERTIES)
        result.properties = source.properties ? source.properties->deepCopy() : nullptr;
    return result;
}

KVPtr<KVViewPluginInstance> newViewPlugin(unsigned keyIndex, KVPluginInstanceFactory* plugins,
                                          const std::string& pluginId, const std::string& subPluginId) {
    return newInstance<KVViewPluginInstance>(keyIndex, plugins, pluginId, subPluginId);
}

KVPtr<KVActionPluginInstance> newActionPlugin(unsigned keyIndex, KVPluginInstanceFactory* plugins,
                                              const std::string& pluginId, const std::string& subPluginId) {
    return newInstance<KVActionPluginInstance>(keyIndex, plugins, pluginId, subPluginId);
}

KVKeyBinding withPluginSetting(const KVKeyBinding& binding, KVSubPluginKind kind,
                               const KVPluginSettingValue& setting, unsigned keyIndex,
                               KVPluginInstanceFactory* plugins) {
    KVKeyBinding result = binding;
    auto changed = [&](const auto& instance) {
        auto copy = copyInstance(instance, keyIndex, plugins);
        if (copy)
            copy->SetSetting(setting.key, setting.value);
        return copy;
    };
    if (kind == KVSubPluginKind::View)
        result.viewPlugin = changed(binding.viewPlugin);
    else if (kind == KVSubPluginKind::Action)
        result.actionPlugin = changed(binding.actionPlugin);
    return result;
}

void replaceBinding(KVKeyBinding& binding, const KVKeyBinding& value, bool layerActive) {
    if (binding.viewPlugin && binding.viewPlugin != value.viewPlugin)
        binding.viewPlugin->Deactivate();
    if (binding.actionPlugin && binding.actionPlugin != value.actionPlugin)
        binding.actionPlugin->Deactivate();
    binding = value;
    if (layerActive)
        binding.activatePlugins();
}

} // namespace corvane::layers
