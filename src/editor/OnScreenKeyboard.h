#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>
#include <string>

class CKVKeyboardSelect;
class QPushButton;

// A key chosen in the "Select Key" dialog.
struct KVPickedKey {
    unsigned index = 0;    // 0...113 in the picker's own table of 114 keys
    uint8_t scanCode = 0;  // the key's set-1 scan code
    std::string name;      // "ShiftLeft", "F1"...
    uint8_t usage = 0;     // what the keyboard sends for the key (its HID usage), what a binding takes
    std::string shortName; // the key's caption: "Shift", "\"
};

// The modal "Select Key" dialog with its 114 keys, from which "Other verb" takes the key to send.
class CKVOnScreenKeyboard final : public QDialog {
public:
    explicit CKVOnScreenKeyboard(QWidget* parent = nullptr);

    // The chosen key once the dialog was closed with OK; none after Cancel.
    std::optional<KVPickedKey> chosenKey() const { return m_chosen; }
    // Opens the dialog modally; the chosen key, or none when it was cancelled.
    static std::optional<KVPickedKey> choose(QWidget* parent);

    CKVKeyboardSelect* picker() const { return m_picker; }

private:
    void choose(unsigned key);

    CKVKeyboardSelect* m_picker = nullptr;
    QPushButton* m_ok = nullptr;
    std::optional<KVPickedKey> m_chosen;
};
