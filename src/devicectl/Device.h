#pragma once

#include "conditions/ConditionEnvironment.h"
#include "core/KVPtr.h"
#include "device/HIDReader.h"
#include "device/TavirexCorvane.h"
#include "devicectl/DeviceBinding.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class CKVMessageDispatch;
class KVDeviceController;
class KVLogindWatcher;

// The keyboard as the application sees it: turns the device library's callbacks into dispatch messages
// (KVM_DEVICE_STATE, KVM_KEY_EVENT, KVM_DEVICE_MODIFIERS_CHANGED), turns key bindings into the keyboard's
// files, gives the keyboard back before suspend and at the end of the session, and answers conditions
// about the keyboard's state.
//
// It owns the device access (whose writer thread reports keys) and the signature reader (a thread of its
// own); both call back into this object, so the destructor stops the reader, then the device access,
// before anything here goes. Everything else runs on the loop thread: the key callbacks are handed over with
// a send, so the modifier mask is computed on the loop thread too and never reads the key-code table while a
// full update rebuilds it.
class KVDevice final : public IKVKeyboardStateSource, private CTavirexCorvane::IEventHandler {
public:
    enum KVDeviceState : unsigned { Connected = 0, Disconnected = 1 };

    // Created after the controller, which it attaches itself to. Watches the backend for arrivals and
    // removals from here on; connecting is left to start-up (Connect).
    KVDevice(KVDeviceController& controller, KVPtr<IKVDeviceBackend> backend, KVMainLoop& loop,
             CKVMessageDispatch& dispatch);
    // Gives the keyboard back: its own key codes and dark displays, written before this returns.
    ~KVDevice() override;
    KVDevice(const KVDevice&) = delete;
    KVDevice& operator=(const KVDevice&) = delete;

    // The device access: settings commands, the drive, and waiting for writes.
    CTavirexCorvane& Keyboard() { return *m_keyboard; }
    const CTavirexCorvane& Keyboard() const { return *m_keyboard; }
    // Whether key signatures are read (a keyboard without the key-state interface).
    bool IsSignatureReaderOpen() const { return m_signatures->IsOpen(); }

    // Connects and opens the signature reader where the keyboard has no key-state interface (also for
    // keyboards that arrive later). CTavirexCorvane::Connect does the same; this one logs the outcome.
    bool ConnectAtStartUp();

    // Suspend, resume and the end of the session, from logind on `busAddress` (empty: the system bus).
    // False (logged) when the bus cannot be reached; the program then relies on its orderly shutdown.
    bool WatchSession(const std::string& busAddress = {});

    // Rebuilds every key's image and the whole key-code table from `bindings`; only what changed is
    // written, and the writer is woken once.
    void FullUpdate(const KVBindingLookup& bindings);
    void UpdateKey(const KVDeviceBinding& binding, unsigned key);
    // A view plug-in's bitmap for a key: 48 x 48 at 24 or 32 bits; false otherwise, nothing staged. Held
    // (true, nothing staged) while the keyboard is given back; resuming brings every key up to date.
    bool SetKeyBitmap(unsigned key, const KVPluginBitmap& bitmap);
    // The modifiers that the keys held on the keyboard send, by what the current table makes them send.
    // 0 while the key-state interface is not open.
    uint32_t DeviceModifierMask();
    // Writes the whole configuration as the keyboard would hold it (see corvane::device).
    bool DumpKeyboardFiles(const KVBindingLookup& normal, const KVBindingLookup& shift,
                           const std::filesystem::path& folder);

    // IKVKeyboardStateSource
    bool IsKeyboardOpen() const override { return m_keyboard->IsConnected(); }
    uint32_t KeyboardModifierMask() const override { return m_modifierMask.load(); }

    // Message handlers (public for the dispatch).
    void OnPowerBroadcast(unsigned event);
    void OnQueryEndSession();
    void OnEndSession(unsigned ending);

private:
    // CTavirexCorvane::IEventHandler
    void OnConnected() override;
    void OnDisconnected() override;
    void OnKeyDown(unsigned key) override;
    void OnKeyUp(unsigned key) override;
    // From the signature reader's thread.
    void OnKeyClick(unsigned key);

    // Stages a key's picture unless it is the very one the key was last staged from by a full update.
    bool stagePicture(KVDeviceFileSet& files, unsigned key, std::span<const uint8_t> pixels,
                      unsigned bytesPerPixel);
    // The key's display was staged by other means.
    void forgetStagedPicture(unsigned key);
    void keyEvent(unsigned key, bool pressed);
    void updateModifierMask(bool announce);
    // Gives the keyboard its own codes back and switches the displays off; it stays open.
    void releaseKeyboard();
    void takeKeyboardBack();

    KVDeviceController& m_controller;
    KVPtr<IKVDeviceBackend> m_backend;
    KVMainLoop& m_loop;
    CKVMessageDispatch& m_dispatch;
    std::atomic<uint32_t> m_modifierMask = 0;
    // Per key: the source pixels its display was last staged from (about 780 KB with every key bound).
    std::vector<std::vector<uint8_t>> m_stagedPictures;
    bool m_released = false;
    std::unique_ptr<KVLogindWatcher> m_sessionWatcher;
    // Reset by the destructor in this order: the reader, then the keyboard.
    std::unique_ptr<CTavirexCorvane> m_keyboard;
    std::unique_ptr<KVHIDDevice> m_signatures;
};
