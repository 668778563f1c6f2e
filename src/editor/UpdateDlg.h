#pragma once

#include <QDialog>

struct KVEditorServices;

// Firmware and configurator updates.
class CKVUpdateDlg final : public QDialog {
public:
    CKVUpdateDlg(KVEditorServices& services, QWidget* parent = nullptr);

private:
    KVEditorServices& m_services;
};
