#include "editor/OnScreenKeyboard.h"

CKVOnScreenKeyboard::CKVOnScreenKeyboard(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Select Key"));
}

std::optional<KVPickedKey> CKVOnScreenKeyboard::choose(QWidget* parent) {
    CKVOnScreenKeyboard dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosenKey();
}
