#pragma once

#include <span>
#include <string>

class CTavirexCorvane;

// What the update controller needs of the keyboard.
class IKVFirmwareKeyboard {
public:
    virtual ~IKVFirmwareKeyboard() = default;
    virtual bool IsKeyboardOpen() const = 0;
    // The firmware's version text ("TavirexV0.76b"); meaningful while the keyboard is open.
    virtual std::string FirmwareVersionText() const = 0;
    // Hands a whole firmware image to the keyboard's writer; false when it is not taken.
    virtual bool StageFirmware(std::span<const uint8_t> image) = 0;
};

// The keyboard of the device library.
class KVCorvaneFirmwareKeyboard final : public IKVFirmwareKeyboard {
public:
    explicit KVCorvaneFirmwareKeyboard(CTavirexCorvane& device) : m_device(device) {}
    bool IsKeyboardOpen() const override;
    std::string FirmwareVersionText() const override;
    bool StageFirmware(std::span<const uint8_t> image) override;

private:
    CTavirexCorvane& m_device;
};

// What the update controller needs of the desktop. This one has no windows: questions go to the log
// (and are answered "no"), pages and packages are opened by the desktop's handlers. The application
// puts message boxes in front of it.
class KVUpdateDesktop {
public:
    virtual ~KVUpdateDesktop() = default;
    // The keyboard's firmware is too old: shows `text`; true when the user asks for the instructions page.
    virtual bool AskOutdatedFirmware(const std::string& text, const std::string& instructionsPage);
    virtual void OpenPage(const std::string& address);
    // Opens a downloaded package with the desktop's package installer (the desktop portal's OpenFile,
    // else xdg-open). Never run with raised rights by this program. False when nothing could open it.
    virtual bool OpenPackage(const std::string& path);
};
