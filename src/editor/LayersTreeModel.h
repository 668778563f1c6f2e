#pragma once

#include "core/KVPtr.h"

#include <QAbstractItemModel>
#include <vector>

class KVLayersGroup;
class KVLayersItem;
struct KVEditorServices;

// The user's layers and groups as an item model: one row per item with its display name and a check box
// for its enabled switch, a "(empty)" row inside every empty group and a "(No layers)" row when there is
// nothing at all. It reads the cake and changes it only through the undoable edit operations; it keeps
// nothing of the model but the rows it last built, which rebuild() brings in line.
class KVLayersTreeModel final : public QAbstractItemModel {
    Q_OBJECT

public:
    static constexpr const char* kMimeType = "application/x-corvane-layers-item";
    static constexpr const char* kEmptyGroupText = "(empty)";
    static constexpr const char* kNoLayersText = "(No layers)";

    explicit KVLayersTreeModel(KVEditorServices& services, QObject* parent = nullptr);

    // Reads the tree again from the cake.
    void rebuild();

    // The item of a row; empty for the placeholder rows and invalid indexes.
    KVPtr<KVLayersItem> itemAt(const QModelIndex& index) const;
    // The row of `item`; invalid when it is not among the user's layers.
    QModelIndex indexOf(const KVLayersItem* item) const;
    // Built-in items keep their place, name and existence.
    static bool isProtected(const KVLayersItem& item);

    // Where a new item goes when `selection` is selected: into a selected group as its first child,
    // else in the selected item's place (the selected one moves down); first among the user's layers when
    // nothing is selected. `parent` is never empty: the top of the tree is the user-layers group.
    struct Place {
        KVPtr<KVLayersItem> parent;
        KVPtr<KVLayersItem> after;
    };
    Place placeAt(const QModelIndex& selection) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

signals:
    // A change made through the tree, with the text of its step ("Rename layer Work").
    void edited(const QString& step);
    // A change the model refused, in words for the status bar.
    void refused(const QString& why);

private:
    enum class Kind { Item, EmptyGroup, NoLayers };
    struct Node {
        Kind kind = Kind::Item;
        KVPtr<KVLayersItem> item;
        int parent = -1; // node index; -1 at the top
        int row = 0;
        std::vector<int> children;
    };

    void addChildren(int parent, const KVLayersItem& group);
    int addNode(Kind kind, KVPtr<KVLayersItem> item, int parent);
    const Node* nodeAt(const QModelIndex& index) const;
    const std::vector<int>& childrenOf(const QModelIndex& parent) const;
    // The group a row belongs to (the user-layers group at the top).
    KVPtr<KVLayersItem> groupOf(const Node& node) const;
    KVPtr<KVLayersItem> draggedItem(const QMimeData* data) const;
    // Where a drop lands: into a group when dropped on it, else in the place of the row dropped on.
    bool dropPlace(int row, const QModelIndex& parent, Place& place) const;
    bool changed(bool done, const char* refusal);

    KVEditorServices& m_services;
    std::vector<Node> m_nodes;
    std::vector<int> m_top;
};
