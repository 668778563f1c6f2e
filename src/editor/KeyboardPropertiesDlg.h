#pragma once

#include <QDialog>

struct KVEditorServices;

// The keyboard's "Properties": sleep delay, brightness, the virtual drive.
class CKVKeyboardPropertiesDlg final : public QDialog {
public:
    CKVKeyboardPropertiesDlg(KVEditorServices& services, QWidget* parent = nullptr);

private:
    KVEditorServices& m_services;
};
