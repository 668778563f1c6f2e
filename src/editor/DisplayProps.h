#pragma once

#include "editor/CommonPluginProps.h"

class QLineEdit;

// The display panel ("Display:"): a picture from a file for "Image", or a view plug-in that draws the
// key. Files dropped on it go to the selected keys.
class CKVDisplayProps final : public CKVCommonPluginProps {
public:
    CKVDisplayProps(KVEditorServices& services, QWidget* parent = nullptr);

    bool setChoice(const KVPtr<KVLayer>& layer, unsigned key, const KVPluginChoice& choice) override;

    QLineEdit* pathEdit() const { return m_path; }
    QPushButton* browseButton() const { return m_browse; }
    // The picture, or what the file gives, for the selected keys; an empty path removes the picture.
    void applyPath(const QString& path);
    // The file dialog; the chosen file is applied.
    void browse();

protected:
    KVPtr<KVKeyPluginInstance> instanceOf(const KVKeyBinding& binding) const override;
    void refreshBuiltIn(const KVKeyBinding* binding) override;

    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Enter in the completion list with no entry chosen applies the path typed, as it does in the box.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyTypedPath();

    QLineEdit* m_path = nullptr;
    QPushButton* m_browse = nullptr;
    QString m_shownPath;
};
