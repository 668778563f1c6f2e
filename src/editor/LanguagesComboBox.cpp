#include "editor/LanguagesComboBox.h"

#include "conditions/SysLayoutCondition.h"
#include "system/KeyboardLayouts.h"

namespace {

QString layoutTitle(const KVKeyboardLayouts& layouts, uint32_t layout) {
    const std::string title = layouts.LayerTitle(layout);
    // An identifier no known layout has still deserves a name the user can tell apart.
    return QString::fromStdString(title.empty() ? corvane::layoutText(layout) : title);
}

} // namespace

CKVLanguagesComboBox::CKVLanguagesComboBox(KVKeyboardLayouts& layouts, QWidget* parent)
    : QComboBox(parent), m_layouts(layouts) {
    setAccessibleName(tr("Keyboard layout"));
    setToolTip(tr("The keyboard layout this condition is about"));
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(8);
    reload();
    connect(this, &QComboBox::activated, this, &CKVLanguagesComboBox::onActivated);
}

void CKVLanguagesComboBox::addLayout(uint32_t layout) {
    addItem(layoutTitle(m_layouts, layout), QVariant::fromValue(layout));
    setItemData(count() - 1, QString::fromStdString(corvane::layoutText(layout)), Qt::ToolTipRole);
}

void CKVLanguagesComboBox::showPopup() {
    reload();
    QComboBox::showPopup();
}

void CKVLanguagesComboBox::reload() {
    const QSignalBlocker quiet(this);
    clear();
    for (const uint32_t layout : m_layouts.InstalledLayouts())
        addLayout(layout);
    setKeyboardLayout(m_selected);
}

int CKVLanguagesComboBox::indexOf(uint32_t layout) const {
    for (int i = 0; i < count(); ++i)
        if (itemData(i).value<uint32_t>() == layout)
            return i;
    return -1;
}

void CKVLanguagesComboBox::setKeyboardLayout(uint32_t layout) {
    const QSignalBlocker quiet(this);
    m_selected = layout;
    int index = indexOf(layout);
    if (index < 0 && layout != 0) {
        addLayout(layout);
        index = count() - 1;
    }
    setCurrentIndex(index);
}

void CKVLanguagesComboBox::onActivated(int index) {
    const uint32_t layout = itemData(index).value<uint32_t>();
    if (index < 0 || layout == m_selected)
        return;
    m_selected = layout;
    emit layoutChosen(layout);
}
