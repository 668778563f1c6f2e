#pragma once

#include "conditions/ModifierCondition.h"
#include "core/MessageDispatch.h"
#include "images/KVImage.h"
#include "layers/KeyNames.h"
#include "layers/Layer.h"
#include "layers/LayerCake.h"
#include "layers/LayersController.h"
#include "layers/LayersGroup.h"
#include "plugins/ActionPluginInstance.h"
#include "plugins/PluginInstanceFactory.h"
#include "plugins/PluginRegistry.h"
#include "plugins/ViewPluginInstance.h"
#include "support/FakeHook.h"
#include "support/FakeSources.h"
#include "support/ManualLoop.h"

#include <string>
#include <type_traits>
#include <vector>

// Plug-ins living in the test program, behind the same C interface as a library: their objects record
// what they are asked to do, named by kind and plug-in.
struct RecordingPlugins {
    struct Object {
        IKVPluginObject base;
        std::string name;
    };

    RecordingPlugins() { s_current = this; }
    ~RecordingPlugins() { s_current = nullptr; }

    void install(const std::string& pluginId) {
        if (!registry.find(pluginId))
            registry.add(KVPluginInfo::inProcess(
                pluginId, {&create<IKVViewPluginContext, KVViewPluginInstance>,
                           &create<IKVActionPluginContext, KVActionPluginInstance>, nullptr}));
    }

    static void record(IKVPluginObject* self, const char* what) {
        if (s_current)
            s_current->log.push_back(reinterpret_cast<Object*>(self)->name + what);
    }
    static IKVPluginObject* make(std::string name) {
        static const IKVPluginObjectVtbl table = {
            .GetPanel = [](IKVPluginObject*) -> IKVPluginPanel* { return nullptr; },
            .Destroy =
                [](IKVPluginObject* self) {
                    record(self, " destroyed");
                    delete reinterpret_cast<Object*>(self);
                },
            .Start = [](IKVPluginObject* self) { record(self, " start"); },
            .Stop = [](IKVPluginObject* self) { record(self, " stop"); },
        };
        return &(new Object{{&table}, std::move(name)})->base;
    }
    template <typename Context, typename Instance>
    static IKVPluginObject* create(const char*, Context* context) {
        const char* kind = std::is_same_v<Instance, KVViewPluginInstance> ? "view " : "action ";
        return make(kind + corvane::plugins::ContextThunks<Context, Instance>::owner(context)->PluginID());
    }

    inline static RecordingPlugins* s_current = nullptr;
    KVPluginRegistry registry;
    KVPluginInstanceFactory factory{&registry, nullptr};
    std::vector<std::string> log;
};

inline unsigned keyIndex(std::string_view name) {
    return *corvane::layers::matchKeyName(name);
}

inline KVPtr<KVImage> solidPicture(uint8_t shade) {
    auto image = std::make_shared<KVImage>(KVImage::kKeySize, KVImage::kKeySize);
    for (auto& byte : image->pixels())
        byte = shade;
    return image;
}

inline KVPtr<KVLayer> makeLayer(const std::string& id) {
    auto layer = std::make_shared<KVLayer>();
    layer->setIdentifier(id);
    layer->setDisplayName(id);
    return layer;
}

inline KVPtr<KVLayersGroup> makeGroup(const std::string& id, std::vector<KVPtr<KVLayersItem>> children = {}) {
    auto group = std::make_shared<KVLayersGroup>();
    group->setIdentifier(id);
    group->setDisplayName(id);
    for (auto& child : children)
        group->items().add(child);
    return group;
}

// A dispatch, a cake, the system state conditions read, and a controller, all fake where it matters.
struct LayersStackFixture {
    LayersStackFixture() {
        environment->hook = &hook;
        environment->keyboard = &keyboard;
        dispatch.RegisterHandler<KVM_ACTIVE_LAYERS_CHANGED>(this, &LayersStackFixture::onActiveLayersChanged);
        dispatch.RegisterHandler<KVM_KEY_CHANGED>(this, &LayersStackFixture::onKeyChanged);
    }
    ~LayersStackFixture() { dispatch.UnregisterHandlers(this); }

    void onActiveLayersChanged() { ++activeLayersChanged; }
    void onKeyChanged(unsigned key) { keysChanged.push_back(key); }

    template <typename Instance>
    KVPtr<Instance> bindPlugin(KVPtr<Instance>& slot, unsigned key, const std::string& pluginId) {
        plugins.install(pluginId);
        slot = std::make_shared<Instance>(&plugins.factory, key);
        slot->SetIds(pluginId, "sub");
        return slot;
    }
    KVPtr<KVActionPluginInstance> bindAction(KVLayer& layer, unsigned key, const std::string& pluginId) {
        return bindPlugin(layer.binding(key).actionPlugin, key, pluginId);
    }
    KVPtr<KVViewPluginInstance> bindView(KVLayer& layer, unsigned key, const std::string& pluginId) {
        return bindPlugin(layer.binding(key).viewPlugin, key, pluginId);
    }
    KVPtr<KVModifierCondition> modifierCondition(uint32_t mask) {
        return std::make_shared<KVModifierCondition>(environment, mask);
    }

    KVManualLoop loop;
    CKVMessageDispatch dispatch{loop};
    KVFakeHook hook;
    KVFakeKeyboardState keyboard;
    KVPtr<KVConditionEnvironment> environment = std::make_shared<KVConditionEnvironment>();
    RecordingPlugins plugins;
    KVLayerCake cake{KVLayerLoadContext{environment, &plugins.factory}};
    KVLayersController controller{dispatch, cake, environment};
    int activeLayersChanged = 0;
    std::vector<unsigned> keysChanged;
};
