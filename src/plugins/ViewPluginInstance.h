#pragma once

#include "plugins/ContextThunks.h"
#include "plugins/PluginInstance.h"

#include <atomic>
#include <mutex>
#include <vector>

class KVImage;

// A plug-in that draws its key. Started when its key is first shown: it gets a 48 x 48 canvas that
// stays valid until its object is destroyed, draws into it and publishes it with Update, from any
// thread. The published picture is what the keyboard shows.
class KVViewPluginInstance final : public KVKeyPluginInstance {
public:
    KVViewPluginInstance(KVPluginInstanceFactory* host, unsigned keyIndex);
    ~KVViewPluginInstance() override;

    KVSubPluginKind kind() const override { return KVSubPluginKind::View; }

    void Activate();
    void Deactivate();
    // Shows the plug-in's picture on its key; the first time, the canvas is made and the plug-in is
    // started. False when there is no plug-in object.
    bool StartView();
    // The key shows another binding now: the picture is no longer announced. The plug-in keeps its
    // canvas and may go on drawing; its latest picture shows at once when the key shows it again.
    void StopView();
    bool IsDrawing() const;
    // The last published picture (24 bits, as key pictures are); empty until the first Update.
    const KVPtr<KVImage>& KeyImage() const;

    // Context operations.
    IKVViewPluginContext* context() { return &m_handle.interface; }
    IKVPluginObject* pairedActionObject() const;
    KVPluginCanvas* canvas();
    // Any thread: takes a copy of the canvas and has the main thread publish it.
    void update();

protected:
    void* contextInterface() override { return context(); }

private:
    // Main thread: the latest copy becomes the key picture and the device is told (only while shown).
    void publish();
    void releaseSurfaces();

    corvane::plugins::ContextHandle<IKVViewPluginContext, KVViewPluginInstance> m_handle;
    std::vector<uint32_t> m_pixels;
    KVPluginCanvas m_canvas{};
    std::atomic<bool> m_started{false};
    bool m_shown = false;
    KVPtr<KVImage> m_keyImage;
    std::mutex m_pendingMutex;
    std::vector<uint32_t> m_pending;
    bool m_pendingFresh = false;
    std::atomic<bool> m_publishQueued{false};
};
