#include "editor/ViewProps.h"

CKVViewProps::CKVViewProps(KVEditorServices& services, QWidget* parent)
    : QWidget(parent), m_services(services) {}
