#pragma once

#include "core/KVPtr.h"
#include "core/MainLoop.h"
#include "devicectl/DeviceBinding.h"
#include "devicectl/DeviceSettings.h"
#include "devicectl/IdleSource.h"
#include "store/ConfigurationControllers.h"

#include <string>

class CKVMessageDispatch;
class KVDevice;

// Keeps the keyboard up to date: holds its settings, brings it up to date when the layers change or it
// connects, and tells its sleep timer about the session's idleness every 100 ms.
//
// Created before KVDevice, which attaches itself. Every handler returns at once while no keyboard is
// open; the next connection brings everything up to date.
class KVDeviceController final : public IKVSettingsConfiguration {
public:
    static constexpr std::chrono::milliseconds kIdleTickInterval{100};
    // Within this many seconds of the sleep delay, or of the last input, the keyboard is told its delay
    // again so that its own timer does not run out while the user is busy elsewhere.
    static constexpr unsigned kIdleMarginSeconds = 15;

    // `bindings`: the layer stack's display composition. `idle`: the session's idle
    // time; without one the keyboard never counts as idle.
    KVDeviceController(KVMainLoop& loop, CKVMessageDispatch& dispatch, KVPtr<IKVDisplayBindings> bindings,
                       KVPtr<IKVIdleSource> idle);
    ~KVDeviceController() override;
    KVDeviceController(const KVDeviceController&) = delete;
    KVDeviceController& operator=(const KVDeviceController&) = delete;

    void SetIdleSource(KVPtr<IKVIdleSource> idle) { m_idle = std::move(idle); }
    // Called by KVDevice when it is created and destroyed.
    void AttachDevice(KVDevice* device) { m_device = device; }

    // The settings as loaded, edited or defaulted.
    const KVDeviceSettings& Settings() const { return m_settings; }
    // Sends the sleep delay, the brightness and the drive's visibility to an open keyboard.
    void ApplySettings();

    // IKVSettingsConfiguration: the "Device" node. Loading applies the settings at once.
    void loadSettings(const KVPtr<KVPropertyNode>& root) override;
    void saveSettings(KVPropertyNode& root) override;

    // The keyboard dialog's operations; each takes effect at once.
    void OnBrightnessSlider(int position);
    void OnAutoBrightness(bool automatic);
    void OnShowVirtualDrive(bool show);
    // Answers the text to show beside the slider.
    std::string OnSleepSlider(int position);
    // Where the dialog puts its sleep slider when it opens.
    int SleepSliderPosition() const {
        return corvane::devicectl::sleepSecondsToPosition(m_settings.sleepDelay);
    }

    // Message handlers.
    void FullUpdate();
    void OnDeviceState(unsigned state);
    void OnPluginImageUpdated(KVViewPluginInstance* instance, unsigned key);
    void OnKeyChanged(unsigned key);
    // The 100 ms tick (public for tests that drive it by hand).
    void IdleTick();
    bool IsAsleep() const { return m_asleep; }

private:
    bool keyboardOpen() const;
    void changeBrightness(unsigned brightness, bool automatic);

    KVMainLoop& m_loop;
    CKVMessageDispatch& m_dispatch;
    KVPtr<IKVDisplayBindings> m_bindings;
    KVPtr<IKVIdleSource> m_idle;
    KVDevice* m_device = nullptr;
    KVDeviceSettings m_settings;
    KVMainLoop::TimerId m_timer = 0;
    bool m_asleep = false;
};
