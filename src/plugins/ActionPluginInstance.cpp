#include "plugins/ActionPluginInstance.h"

#include "plugins/PluginHolders.h"
#include "plugins/PluginInstanceFactory.h"

namespace {

using Thunks = corvane::plugins::ContextThunks<IKVActionPluginContext, KVActionPluginInstance>;

IKVPluginObject* getPairedViewObject(IKVActionPluginContext* self) {
    return corvane::plugins::noThrow("GetPairedViewObject", static_cast<IKVPluginObject*>(nullptr), [&] {
        auto* instance = Thunks::owner(self);
        return instance ? instance->pairedViewObject() : nullptr;
    });
}

const IKVActionPluginContextVtbl kActionContextTable = {
    .SetProperty = &Thunks::SetProperty,
    .GetProperty = &Thunks::GetProperty,
    .GetItemPath = &Thunks::GetItemPath,
    .GetItemName = &Thunks::GetItemName,
    .Release = &Thunks::Release,
    .GetPairedViewObject = &getPairedViewObject,
};

} // namespace

KVActionPluginInstance::KVActionPluginInstance(KVPluginInstanceFactory* host, unsigned keyIndex)
    : KVKeyPluginInstance(host, keyIndex), m_handle{{&kActionContextTable}, this} {}

KVActionPluginInstance::~KVActionPluginInstance() {
    Deactivate();
}

void KVActionPluginInstance::Activate() {
    activateInstance();
}

void KVActionPluginInstance::Deactivate() {
    KeyUp();
    destroyObject();
}

void KVActionPluginInstance::KeyDown() {
    if (!HasObject() || m_pressed)
        return;
    m_pressed = true;
    callObjectOperation("Start", &IKVPluginObjectVtbl::Start);
}

void KVActionPluginInstance::KeyUp() {
    if (!m_pressed)
        return;
    m_pressed = false;
    callObjectOperation("Stop", &IKVPluginObjectVtbl::Stop);
}

void KVActionPluginInstance::Click() {
    KeyDown();
    KeyUp();
}

IKVPluginObject* KVActionPluginInstance::pairedViewObject() const {
    const auto* holders = host() ? host()->holders() : nullptr;
    auto* paired = holders ? holders->pairedInstance(*this) : nullptr;
    if (!paired || paired->kind() != KVSubPluginKind::View || paired->PluginID() != PluginID())
        return nullptr;
    return paired->Object();
}
