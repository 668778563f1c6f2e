#include "editor/KeyboardPropertiesDlg.h"

CKVKeyboardPropertiesDlg::CKVKeyboardPropertiesDlg(KVEditorServices& services, QWidget* parent)
    : QDialog(parent), m_services(services) {}
