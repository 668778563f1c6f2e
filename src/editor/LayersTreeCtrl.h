#pragma once

#include <QTreeView>

struct KVEditorServices;

// The layer tree: the user layers and groups, with check boxes, rename in place and drag and drop.
class CKVLayersTreeCtrl final : public QTreeView {
public:
    CKVLayersTreeCtrl(KVEditorServices& services, QWidget* parent = nullptr);

private:
    KVEditorServices& m_services;
};
