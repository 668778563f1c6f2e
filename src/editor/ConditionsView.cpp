#include "editor/ConditionsView.h"

CKVConditionsView::CKVConditionsView(KVEditorServices& services, QWidget* parent)
    : QWidget(parent), m_services(services) {}
