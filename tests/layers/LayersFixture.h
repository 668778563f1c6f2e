#pragma once

#include "conditions/ModifierCondition.h"
#include "core/MessageDispatch.h"
#include "images/KVImage.h"
#include "layers/KeyNames.h"
#include "layers/Layer.h"
#include "layers/LayerCake.h"
#include "layers/LayersController.h"
#include "layers/LayersGroup.h"
#include "layers/PluginInstance.h"
#include "support/FakeHook.h"
#include "support/FakeSources.h"
#include "support/ManualLoop.h"

#include <string>
#include <vector>

// A plug-in library that records what its objects are asked to do.
struct RecordingPlugins final : KVPluginObjectFactory {
    struct Object final : KVPluginObject {
        Object(std::vector<std::string>& log, std::string name) : m_log(log), m_name(std::move(name)) {}
        ~Object() override { m_log.push_back(m_name + " destroyed"); }
        void Start() override { m_log.push_back(m_name + " start"); }
        void Stop() override { m_log.push_back(m_name + " stop"); }
        std::vector<std::string>& m_log;
        std::string m_name;
    };
    std::unique_ptr<KVPluginObject> createView(KVViewPluginInstance& instance) override {
        return std::make_unique<Object>(log, "view " + instance.PluginID());
    }
    std::unique_ptr<KVPluginObject> createAction(KVActionPluginInstance& instance) override {
        return std::make_unique<Object>(log, "action " + instance.PluginID());
    }
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

    // An action plug-in instance on `key` of `layer`.
    KVPtr<KVActionPluginInstance> bindAction(KVLayer& layer, unsigned key, const std::string& pluginId) {
        auto action = std::make_shared<KVActionPluginInstance>(key, &plugins);
        action->SetIds(pluginId, "sub");
        layer.binding(key).actionPlugin = action;
        return action;
    }
    KVPtr<KVViewPluginInstance> bindView(KVLayer& layer, unsigned key, const std::string& pluginId) {
        auto view = std::make_shared<KVViewPluginInstance>(key, &plugins);
        view->SetIds(pluginId, "sub");
        layer.binding(key).viewPlugin = view;
        return view;
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
    KVLayerCake cake{KVLayerLoadContext{environment, &plugins}};
    KVLayersController controller{dispatch, cake, environment};
    int activeLayersChanged = 0;
    std::vector<unsigned> keysChanged;
};
