#include "editor/LayersView.h"

CKVLayersView::CKVLayersView(KVEditorServices& services, QWidget* parent)
    : QWidget(parent), m_services(services) {}
