#include "editor/OnScreenKeyboard.h"

#include "editor/KeyPickerTable.h"
#include "editor/KeyboardSelect.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

CKVOnScreenKeyboard::CKVOnScreenKeyboard(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Select Key"));
    setObjectName(QStringLiteral("CKVOnScreenKeyboard"));
    setWindowIcon(
        QIcon::fromTheme(QStringLiteral("input-keyboard"), style()->standardIcon(QStyle::SP_ComputerIcon)));
    setAccessibleName(windowTitle());

    m_picker = new CKVKeyboardSelect(this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setEnabled(false);
    m_ok->setToolTip(tr("Take the key shown as current"));
    buttons->button(QDialogButtonBox::Cancel)->setToolTip(tr("Leave the action as it is"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_picker, 1);
    layout->addWidget(buttons);

    connect(m_picker, &CKVKeyboardSelect::currentKeyChanged, this, [this] { m_ok->setEnabled(true); });
    connect(m_picker, &CKVKeyboardSelect::keyChosen, this, [this](unsigned key) { choose(key); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { choose(m_picker->currentKey()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // At least as large as the smallest window that still shows the keys; the picture keeps its
    // proportions inside whatever size the dialog takes.
    setMinimumSize(128, 132);
    const QSize picture = m_picker->sizeHint();
    resize(picture.width() + 24, picture.height() + buttons->sizeHint().height() + 36);
    m_picker->setFocus();
}

void CKVOnScreenKeyboard::choose(unsigned key) {
    const auto& keys = corvane::editor::pickerKeys();
    if (key >= keys.size())
        return;
    const auto& picked = keys[key];
    m_chosen = KVPickedKey{key, picked.scanCode, std::string(picked.name), picked.usage,
                           std::string(picked.shortName)};
    accept();
}

std::optional<KVPickedKey> CKVOnScreenKeyboard::choose(QWidget* parent) {
    CKVOnScreenKeyboard dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosenKey();
}
