#include "editor/LayersTreeCtrl.h"

CKVLayersTreeCtrl::CKVLayersTreeCtrl(KVEditorServices& services, QWidget* parent)
    : QTreeView(parent), m_services(services) {}
