#pragma once

#include <QComboBox>
#include <cstdint>

class KVKeyboardLayouts;

// The keyboard layouts of the session by their names. Says which layout the user chose; setting one from
// the model says nothing.
class CKVLanguagesComboBox final : public QComboBox {
    Q_OBJECT

public:
    explicit CKVLanguagesComboBox(KVKeyboardLayouts& layouts, QWidget* parent = nullptr);

    // Selects `layout`; one the session does not have is listed too, so a stored condition shows as it is.
    void setKeyboardLayout(uint32_t layout);
    uint32_t keyboardLayout() const { return m_selected; }
    // Lists the session's layouts again, keeping the selection.
    void reload();

    // The list is read again each time it opens: programs are catalogued as they start, and layouts may
    // have been added to the session.
    void showPopup() override;

signals:
    void layoutChosen(uint32_t layout);

private:
    void onActivated(int index);
    void addLayout(uint32_t layout);
    int indexOf(uint32_t layout) const;

    KVKeyboardLayouts& m_layouts;
    uint32_t m_selected = 0;
};
