#include "plugins/ViewPluginInstance.h"

#include "core/MessageDispatch.h"
#include "images/KVImage.h"
#include "plugins/PluginHolders.h"
#include "plugins/PluginInstanceFactory.h"
#include "plugins/PluginKeyTable.h"

#include <cstring>

namespace {

using Thunks = corvane::plugins::ContextThunks<IKVViewPluginContext, KVViewPluginInstance>;
using corvane::plugins::noThrow;

constexpr int kSize = CORVANE_KEY_SIZE;

IKVPluginObject* getPairedActionObject(IKVViewPluginContext* self) {
    return noThrow("GetPairedActionObject", static_cast<IKVPluginObject*>(nullptr), [&] {
        auto* instance = Thunks::owner(self);
        return instance ? instance->pairedActionObject() : nullptr;
    });
}

corvane::plugins::KVPluginKeyPlace placeOf(IKVViewPluginContext* self) {
    auto* instance = Thunks::owner(self);
    return instance ? corvane::plugins::pluginKeyPlace(instance->KeyIndex())
                    : corvane::plugins::KVPluginKeyPlace{};
}

uint8_t getKeyRow(IKVViewPluginContext* self) {
    return placeOf(self).row;
}
uint8_t getKeyColumn(IKVViewPluginContext* self) {
    return placeOf(self).column;
}
uint16_t getKeyX(IKVViewPluginContext* self) {
    return placeOf(self).x;
}
uint16_t getKeyY(IKVViewPluginContext* self) {
    return placeOf(self).y;
}

KVPluginCanvas* getCanvas(IKVViewPluginContext* self) {
    auto* instance = Thunks::owner(self);
    return instance ? instance->canvas() : nullptr;
}

void update(IKVViewPluginContext* self) {
    noThrow("Update", 0, [&] {
        if (auto* instance = Thunks::owner(self))
            instance->update();
        return 0;
    });
}

const IKVViewPluginContextVtbl kViewContextTable = {
    .SetProperty = &Thunks::SetProperty,
    .GetProperty = &Thunks::GetProperty,
    .GetItemPath = &Thunks::GetItemPath,
    .GetItemName = &Thunks::GetItemName,
    .Release = &Thunks::Release,
    .GetPairedActionObject = &getPairedActionObject,
    .GetKeyRow = &getKeyRow,
    .GetKeyColumn = &getKeyColumn,
    .GetKeyX = &getKeyX,
    .GetKeyY = &getKeyY,
    .GetCanvas = &getCanvas,
    .Update = &update,
};

// Premultiplied colour over black is the colour channels themselves.
void copyCanvasToImage(const std::vector<uint32_t>& pixels, KVImage& image) {
    for (int y = 0; y < kSize; ++y) {
        uint8_t* row = image.scanLine(kSize - 1 - y);
        const uint32_t* source = pixels.data() + static_cast<std::size_t>(y) * kSize;
        for (int x = 0; x < kSize; ++x) {
            const uint32_t pixel = source[x];
            row[3 * x] = static_cast<uint8_t>(pixel);
            row[3 * x + 1] = static_cast<uint8_t>(pixel >> 8);
            row[3 * x + 2] = static_cast<uint8_t>(pixel >> 16);
        }
    }
}

} // namespace

KVViewPluginInstance::KVViewPluginInstance(KVPluginInstanceFactory* host, unsigned keyIndex)
    : KVKeyPluginInstance(host, keyIndex), m_handle{{&kViewContextTable}, this} {}

KVViewPluginInstance::~KVViewPluginInstance() {
    Deactivate();
}

void KVViewPluginInstance::Activate() {
    activateInstance();
}

void KVViewPluginInstance::Deactivate() {
    m_shown = false;
    destroyObject();
    releaseSurfaces();
}

void KVViewPluginInstance::releaseSurfaces() {
    // Only once the object is gone: the plug-in may hold the canvas until then.
    m_started = false;
    m_keyImage.reset();
    m_pixels.clear();
    m_canvas = {};
}

bool KVViewPluginInstance::StartView() {
    if (!HasObject())
        return false;
    m_shown = true;
    if (m_started)
        return true;
    m_pixels.assign(static_cast<std::size_t>(kSize) * kSize, 0);
    m_canvas = {m_pixels.data(), kSize, kSize, kSize * 4};
    m_keyImage = std::make_shared<KVImage>(kSize, kSize);
    m_started = true;
    callObjectOperation("Start", &IKVPluginObjectVtbl::Start);
    return HasObject();
}

void KVViewPluginInstance::StopView() {
    m_shown = false;
}

bool KVViewPluginInstance::IsDrawing() const {
    return m_shown && m_started && HasObject();
}

const KVPtr<KVImage>& KVViewPluginInstance::KeyImage() const {
    static const KVPtr<KVImage> none;
    // A plug-in that failed shows nothing of its own any more, as a missing one.
    return HasObject() ? m_keyImage : none;
}

IKVPluginObject* KVViewPluginInstance::pairedActionObject() const {
    const auto* holders = host() ? host()->holders() : nullptr;
    auto* paired = holders ? holders->pairedInstance(*this) : nullptr;
    if (!paired || paired->kind() != KVSubPluginKind::Action || paired->PluginID() != PluginID())
        return nullptr;
    return paired->Object();
}

KVPluginCanvas* KVViewPluginInstance::canvas() {
    return m_started ? &m_canvas : nullptr;
}

void KVViewPluginInstance::update() {
    if (!m_started)
        return;
    {
        std::lock_guard lock(m_pendingMutex);
        m_pending = m_pixels;
        m_pendingFresh = true;
    }
    CKVMessageDispatch* dispatch = host() ? host()->dispatch() : nullptr;
    if (!dispatch || dispatch->loop().isLoopThread()) {
        publish();
        return;
    }
    // Handed over without waiting: a plug-in that stops its thread in Destroy (on the main thread) must
    // never find that thread blocked here. Updates that come faster than the main thread takes them
    // are folded into one.
    if (m_publishQueued.exchange(true))
        return;
    dispatch->loop().post([weak = std::weak_ptr<KVKeyPluginInstance>(weak_from_this())] {
        if (auto self = std::static_pointer_cast<KVViewPluginInstance>(weak.lock()))
            self->publish();
    });
}

void KVViewPluginInstance::publish() {
    m_publishQueued = false;
    if (!m_keyImage)
        return;
    {
        std::lock_guard lock(m_pendingMutex);
        if (!m_pendingFresh)
            return;
        copyCanvasToImage(m_pending, *m_keyImage);
        m_pendingFresh = false;
    }
    CKVMessageDispatch* dispatch = host() ? host()->dispatch() : nullptr;
    if (dispatch && IsDrawing())
        dispatch->send<KVM_PLUGIN_IMAGE_UPDATED>(this, KeyIndex());
}
