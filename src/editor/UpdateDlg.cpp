#include "editor/UpdateDlg.h"

CKVUpdateDlg::CKVUpdateDlg(KVEditorServices& services, QWidget* parent)
    : QDialog(parent), m_services(services) {}
