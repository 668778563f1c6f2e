#include "editor/KeyProps.h"

CKVKeyProps::CKVKeyProps(KVEditorServices& services, QWidget* parent)
    : QWidget(parent), m_services(services) {}
