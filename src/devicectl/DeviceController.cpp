#include "devicectl/DeviceController.h"

#include "core/Log.h"
#include "core/MessageDispatch.h"
#include "devicectl/Device.h"

#include <algorithm>

using namespace corvane::devicectl;

KVDeviceController::KVDeviceController(KVMainLoop& loop, CKVMessageDispatch& dispatch,
                                       KVPtr<IKVDisplayBindings> bindings, KVPtr<IKVIdleSource> idle)
    : m_loop(loop), m_dispatch(dispatch), m_bindings(std::move(bindings)), m_idle(std::move(idle)) {
    // This order is the order in which these run among the other services' handlers.
    m_dispatch.RegisterHandler<KVM_ACTIVE_LAYERS_CHANGED>(this, &KVDeviceController::FullUpdate);
    m_dispatch.RegisterHandler<KVM_IMAGE_FILE_RELOADED>(this, &KVDeviceController::FullUpdate);
    m_dispatch.RegisterHandler<KVM_DEVICE_STATE>(this, &KVDeviceController::OnDeviceState);
    m_dispatch.RegisterHandler<KVM_BINDING_EDITED>(this, &KVDeviceController::FullUpdate);
    m_dispatch.RegisterHandler<KVM_PLUGIN_IMAGE_UPDATED>(this, &KVDeviceController::OnPluginImageUpdated);
    m_dispatch.RegisterHandler<KVM_KEY_CHANGED>(this, &KVDeviceController::OnKeyChanged);
    m_timer = m_loop.addTimer(kIdleTickInterval, true, [this] { IdleTick(); });
}

KVDeviceController::~KVDeviceController() {
    m_loop.cancelTimer(m_timer);
    m_dispatch.UnregisterHandlers(this);
}

bool KVDeviceController::keyboardOpen() const {
    return m_device && m_device->IsKeyboardOpen();
}

void KVDeviceController::ApplySettings() {
    if (!keyboardOpen())
        return;
    m_device->Keyboard().SetSleepDelay(m_settings.sleepDelay);
    m_device->Keyboard().SetBrightness(m_settings.brightness, m_settings.autoBrightness);
    // A drive that cannot be shown or hidden now is tried again at the next application.
    const bool done =
        m_settings.showVirtualDrive ? m_device->Keyboard().MountDrive() : m_device->Keyboard().UnmountDrive();
    if (!done)
        corvane::logger("devicectl")
            .info("the keyboard's drive could not be {}", m_settings.showVirtualDrive ? "shown" : "hidden");
}

void KVDeviceController::loadSettings(const KVPtr<KVPropertyNode>& root) {
    if (!root)
        return;
    const std::optional<KVDeviceSettings> loaded = readDeviceSettings(*root);
    if (!loaded)
        return; // first start, or an unreadable file: the defaults stay
    m_settings = *loaded;
    ApplySettings();
}

void KVDeviceController::saveSettings(KVPropertyNode& root) {
    writeDeviceSettings(m_settings, root);
}

void KVDeviceController::changeBrightness(unsigned brightness, bool automatic) {
    if (brightness == m_settings.brightness && automatic == m_settings.autoBrightness)
        return;
    m_settings.brightness = brightness;
    m_settings.autoBrightness = automatic;
    if (keyboardOpen())
        m_device->Keyboard().SetBrightness(m_settings.brightness, m_settings.autoBrightness);
}

void KVDeviceController::OnBrightnessSlider(int position) {
    changeBrightness(unsigned(std::clamp(position, 0, int(kMaxBrightness))), m_settings.autoBrightness);
}

void KVDeviceController::OnAutoBrightness(bool automatic) {
    changeBrightness(m_settings.brightness, automatic);
}

void KVDeviceController::OnShowVirtualDrive(bool show) {
    if (show == m_settings.showVirtualDrive)
        return;
    if (keyboardOpen() && !(show ? m_device->Keyboard().MountDrive() : m_device->Keyboard().UnmountDrive()))
        corvane::logger("devicectl")
            .info("the keyboard's drive could not be {}; trying again later", show ? "shown" : "hidden");
    // Stored whatever the drive did: the next ApplySettings tries again.
    m_settings.showVirtualDrive = show;
}

std::string KVDeviceController::OnSleepSlider(int position) {
    const unsigned value = std::min(sleepPositionToSeconds(position), kNeverSleep);
    if (value != m_settings.sleepDelay) {
        m_settings.sleepDelay = value;
        if (keyboardOpen())
            m_device->Keyboard().SetSleepDelay(m_settings.sleepDelay);
    }
    return sleepDelayText(value);
}

void KVDeviceController::FullUpdate() {
    if (!keyboardOpen() || !m_bindings)
        return;
    IKVDisplayBindings& bindings = *m_bindings;
    m_device->FullUpdate([&bindings](unsigned key) { return bindings.DisplayBinding(key); });
}

void KVDeviceController::OnDeviceState(unsigned state) {
    if (state != KVDevice::Connected)
        return;
    ApplySettings();
    FullUpdate();
}

void KVDeviceController::OnPluginImageUpdated(KVViewPluginInstance* instance, unsigned key) {
    if (!keyboardOpen() || !instance || !m_bindings)
        return;
    m_device->SetKeyBitmap(key, m_bindings->PublishedBitmap(instance));
}

void KVDeviceController::OnKeyChanged(unsigned key) {
    if (!keyboardOpen() || !m_bindings)
        return;
    if (const std::optional<KVDeviceBinding> binding = m_bindings->DisplayBinding(key))
        m_device->UpdateKey(*binding, key);
}

void KVDeviceController::IdleTick() {
    if (!keyboardOpen() || !m_idle)
        return;
    const std::optional<std::chrono::milliseconds> idleTime = m_idle->IdleTime();
    if (!idleTime)
        return;
    const auto idle = unsigned(std::chrono::duration_cast<std::chrono::seconds>(*idleTime).count());
    const unsigned delay = m_settings.sleepDelay;
    if (idle > delay) {
        m_asleep = true;
        return;
    }
    // Repeating the same command costs nothing: order.sys is written only when its text changes.
    if (delay == 0 || delay - idle < kIdleMarginSeconds || (m_asleep && idle < kIdleMarginSeconds)) {
        m_device->Keyboard().SetSleepDelay(delay);
        m_asleep = false;
    }
}
