#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>
#include <string>

// A key chosen in the "Select Key" dialog.
struct KVPickedKey {
    unsigned index = 0;   // 0...113 in the picker's own table of 114 keys
    uint8_t scanCode = 0; // what a binding's key code takes
    std::string name;     // "Left Shift", "F1"...
};

// The modal "Select Key" dialog with its 114 keys, from which "Other verb" takes the key to send.
class CKVOnScreenKeyboard final : public QDialog {
public:
    explicit CKVOnScreenKeyboard(QWidget* parent = nullptr);

    // The chosen key once the dialog was closed with OK; none after Cancel.
    std::optional<KVPickedKey> chosenKey() const { return m_chosen; }
    // Opens the dialog modally; the chosen key, or none when it was cancelled.
    static std::optional<KVPickedKey> choose(QWidget* parent);

private:
    std::optional<KVPickedKey> m_chosen;
};
