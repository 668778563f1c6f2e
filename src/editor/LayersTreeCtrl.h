#pragma once

#include "core/KVPtr.h"

#include <QTreeView>
#include <memory>
#include <vector>

class KVLayersItem;
class KVLayersTreeModel;
struct KVEditorServices;

// The layer tree: the user's layers and groups with check boxes, rename in place and drag and drop.
// The selected item is the one the editor edits: it is shown on the keyboard while it is selected, the
// key selection starts afresh, and the other windows hear of it through KVM_TREE_SELECTION_CHANGED. The
// tree is read again from the model whenever keys or items were edited elsewhere (KVM_KEYS_EDITED, which
// undo and redo send too), a picture came back from the picture editor or an archive was imported.
class CKVLayersTreeCtrl final : public QTreeView {
    Q_OBJECT

public:
    CKVLayersTreeCtrl(KVEditorServices& services, QWidget* parent = nullptr);
    ~CKVLayersTreeCtrl() override;

    KVLayersTreeModel& layersModel() const { return *m_model; }
    // The selected layer or group; empty when none is.
    KVPtr<KVLayersItem> selectedItem() const;
    void selectItem(const KVLayersItem* item);

    // "New Layer" and "New Group" at the selection; the new item is selected and its name opened for
    // editing. Empty when the model refused.
    KVPtr<KVLayersItem> newLayer();
    KVPtr<KVLayersItem> newGroup();
    // An item made elsewhere (an imported archive or picture) goes in at the selection and is selected.
    bool insertItem(const KVPtr<KVLayersItem>& item);
    // Deletes `item` without asking (the window asks first); false for built-in items.
    bool deleteItem(const KVPtr<KVLayersItem>& item);
    // Opens the selected item's name for editing; false when it cannot be renamed.
    bool renameSelected();
    // Reads the tree again, keeping which groups are folded and which item is selected.
    void rebuild();

signals:
    // The tree changed the model; the step's text ("Delete layer Work").
    void edited(const QString& step);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void OnKeysEdited();
    void OnImageFileReloaded(const char* path);
    void OnLayersImported();

    // Makes `item` the edited item: shown on the keyboard instead of the one before, keys unselected.
    void editItem(const KVPtr<KVLayersItem>& item);
    // The key selection starts afresh and the other windows hear of the edited item.
    void announceEditedItem();
    void afterEdit(const KVPtr<KVLayersItem>& selected);
    void restoreView();

    KVEditorServices& m_services;
    KVLayersTreeModel* m_model;
    // What this tree last made the edited item, to notice when the controller dropped it.
    KVPtr<KVLayersItem> m_edited;
    std::vector<std::weak_ptr<KVLayersItem>> m_folded;
    bool m_restoring = false;
};
