#pragma once

#include "layers/KeyBinding.h"
#include "plugins/PluginInfo.h"
#include "plugins/PluginInstance.h"

#include <string>

class KVPluginInstanceFactory;

// Building the new contents of a key binding for the editing operations. These are the only places where
// editing makes, copies, starts and stops plug-in instances.
namespace corvane::layers {

// The parts of a binding that a paste can take over; a partial paste names a subset.
enum KVBindingField : unsigned {
    KV_FIELD_IMAGE = 0x01,
    KV_FIELD_VIEW_PLUGIN = 0x02,
    KV_FIELD_ACTION_PLUGIN = 0x04,
    KV_FIELD_SCAN_CODE = 0x08,
    KV_FIELD_KEYSTROKE = 0x10,
    KV_FIELD_ACTION_CODE = 0x20,
    KV_FIELD_PROPERTIES = 0x40,
    KV_FIELD_PICTURE = KV_FIELD_IMAGE | KV_FIELD_VIEW_PLUGIN,
    KV_FIELD_ACTION = KV_FIELD_ACTION_PLUGIN | KV_FIELD_SCAN_CODE | KV_FIELD_KEYSTROKE | KV_FIELD_ACTION_CODE,
    KV_FIELD_ALL = 0x7F,
};

// `target` with the `fields` of `source` copied over it for key `keyIndex`: a picture of its own (marked
// changed, so that the target layer writes its own file), property trees of its own, and new plug-in
// instances on that key made from the source instances' stored form. Nothing is shared with `source`
// that either side could change later.
KVKeyBinding copiedBinding(const KVKeyBinding& target, const KVKeyBinding& source, unsigned fields,
                           unsigned keyIndex, KVPluginInstanceFactory* plugins);

// New plug-in instances of one sub-plug-in on `keyIndex`; empty when `pluginId` is empty.
KVPtr<KVViewPluginInstance> newViewPlugin(unsigned keyIndex, KVPluginInstanceFactory* plugins,
                                          const std::string& pluginId, const std::string& subPluginId);
KVPtr<KVActionPluginInstance> newActionPlugin(unsigned keyIndex, KVPluginInstanceFactory* plugins,
                                              const std::string& pluginId, const std::string& subPluginId);

// The binding with its view or action instance replaced by a copy on the same key that has one setting
// changed; the copy's plug-in object is made when the binding is put in place, so the plug-in reads the
// new setting. Unchanged when the binding has no instance of that kind.
KVKeyBinding withPluginSetting(const KVKeyBinding& binding, KVSubPluginKind kind,
                               const KVPluginSettingValue& setting, unsigned keyIndex,
                               KVPluginInstanceFactory* plugins);

// Puts `value` into `binding`: instances that leave are deactivated, and the ones it holds now are
// activated when the layer is active.
void replaceBinding(KVKeyBinding& binding, const KVKeyBinding& value, bool layerActive);

} // namespace corvane::layers
