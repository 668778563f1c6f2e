#pragma once

#include "plugins/ContextThunks.h"
#include "plugins/PluginInstance.h"

// A plug-in that acts on its key: Start when the key goes down, Stop when it comes up. Repeated downs
// without an up reach it once.
class KVActionPluginInstance final : public KVKeyPluginInstance {
public:
    KVActionPluginInstance(KVPluginInstanceFactory* host, unsigned keyIndex);
    ~KVActionPluginInstance() override;

    KVSubPluginKind kind() const override { return KVSubPluginKind::Action; }

    void Activate();
    void Deactivate();
    void KeyDown();
    void KeyUp();
    // The editor's click: down, then up at once.
    void Click();
    bool IsPressed() const { return m_pressed; }

    IKVActionPluginContext* context() { return &m_handle.interface; }
    IKVPluginObject* pairedViewObject() const;

protected:
    void* contextInterface() override { return context(); }

private:
    corvane::plugins::ContextHandle<IKVActionPluginContext, KVActionPluginInstance> m_handle;
    bool m_pressed = false;
};
