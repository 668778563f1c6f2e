#include "editor/LayersTreeCtrl.h"

#include "core/MessageDispatch.h"
#include "editor/EditorServices.h"
#include "editor/EditorStatus.h"
#include "editor/LayersTreeModel.h"
#include "layers/LayersController.h"

#include <QHeaderView>
#include <algorithm>

CKVLayersTreeCtrl::CKVLayersTreeCtrl(KVEditorServices& services, QWidget* parent)
    : QTreeView(parent), m_services(services), m_model(new KVLayersTreeModel(services, this)) {
    setObjectName(QStringLiteral("layersTree"));
    setAccessibleName(tr("Layers"));
    setToolTip(tr("Your layers and groups: the upper one wins where both bind a key. Tick to switch one on, "
                  "F2 to rename, drag to move."));
    setModel(m_model);
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setAutoExpandDelay(600);
    setUniformRowHeights(true);

    connect(m_model, &KVLayersTreeModel::edited, this, &CKVLayersTreeCtrl::edited);
    connect(m_model, &KVLayersTreeModel::refused, this,
            [this](const QString& why) { corvane::editor::showStatus(this, why); });
    connect(m_model, &QAbstractItemModel::modelReset, this, &CKVLayersTreeCtrl::restoreView);
    connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        if (auto item = m_model->itemAt(index); item && !m_restoring)
            m_folded.push_back(item);
    });
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        const auto item = m_model->itemAt(index);
        std::erase_if(m_folded, [&](const auto& each) { return each.expired() || each.lock() == item; });
    });

    m_services.dispatch.RegisterHandler<KVM_KEYS_EDITED>(this, &CKVLayersTreeCtrl::OnKeysEdited);
    m_services.dispatch.RegisterHandler<KVM_IMAGE_FILE_RELOADED>(this,
                                                                 &CKVLayersTreeCtrl::OnImageFileReloaded);
    m_services.dispatch.RegisterHandler<KVM_LAYERS_IMPORTED>(this, &CKVLayersTreeCtrl::OnLayersImported);
    restoreView();
}

CKVLayersTreeCtrl::~CKVLayersTreeCtrl() {
    m_services.dispatch.UnregisterHandlers(this);
}

void CKVLayersTreeCtrl::OnKeysEdited() {
    rebuild();
}

void CKVLayersTreeCtrl::OnImageFileReloaded(const char*) {
    rebuild();
}

void CKVLayersTreeCtrl::OnLayersImported() {
    rebuild();
}

void CKVLayersTreeCtrl::rebuild() {
    m_model->rebuild();
}

KVPtr<KVLayersItem> CKVLayersTreeCtrl::selectedItem() const {
    return m_model->itemAt(currentIndex());
}

void CKVLayersTreeCtrl::selectItem(const KVLayersItem* item) {
    const QModelIndex index = m_model->indexOf(item);
    if (!index.isValid())
        return;
    setCurrentIndex(index);
    scrollTo(index);
}

void CKVLayersTreeCtrl::restoreView() {
    m_restoring = true;
    expandAll();
    std::erase_if(m_folded, [](const auto& each) { return each.expired(); });
    for (const auto& folded : m_folded)
        collapse(m_model->indexOf(folded.lock().get()));
    const auto edited = m_services.layers.EditedItem();
    const QModelIndex index = m_model->indexOf(edited.get());
    if (index.isValid()) {
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        scrollTo(index);
    } else {
        selectionModel()->clear();
    }
    m_restoring = false;
    if (m_edited == edited)
        return;
    // The controller let go of an item that left the tree (deleted, or its creation undone): the other
    // windows hear that nothing is edited now. An item chosen elsewhere is simply followed.
    const bool dropped = !edited;
    m_edited = edited;
    if (dropped)
        announceEditedItem();
}

void CKVLayersTreeCtrl::announceEditedItem() {
    // A key selection belongs to the item it was made in.
    m_services.layers.SetSelectedKeys({});
    m_services.dispatch.send<KVM_KEY_SELECTION_CHANGED>();
    m_services.dispatch.send<KVM_TREE_SELECTION_CHANGED>();
}

void CKVLayersTreeCtrl::focusInEvent(QFocusEvent* event) {
    // An item chosen before the tree had a current row (an import, a reopened window) stays the edited
    // one; the tree edits its first row only when nothing is edited yet.
    if (!currentIndex().isValid() && m_services.layers.EditedItem())
        restoreView();
    QTreeView::focusInEvent(event);
}

void CKVLayersTreeCtrl::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTreeView::currentChanged(current, previous);
    if (m_restoring)
        return;
    // The view makes the first row current when it gains focus without selecting it; the edited item is
    // always the one that looks selected.
    if (current.isValid() && (m_model->flags(current) & Qt::ItemIsSelectable) &&
        !selectionModel()->isSelected(current))
        selectionModel()->select(current, QItemSelectionModel::ClearAndSelect);
    editItem(m_model->itemAt(current));
}

void CKVLayersTreeCtrl::editItem(const KVPtr<KVLayersItem>& item) {
    auto& layers = m_services.layers;
    const auto before = layers.EditedItem();
    if (before == item && m_edited == item)
        return;
    if (before && before != item)
        layers.StopShowing(before);
    layers.SetEditedItem(item);
    if (item && before != item)
        layers.ShowForEditing(item);
    m_edited = item;
    announceEditedItem();
}

void CKVLayersTreeCtrl::afterEdit(const KVPtr<KVLayersItem>& selected) {
    rebuild();
    selectItem(selected.get());
    emit edited(QString::fromStdString(m_services.layers.Editing().UndoText()));
}

KVPtr<KVLayersItem> CKVLayersTreeCtrl::newLayer() {
    const auto place = m_model->placeAt(currentIndex());
    KVPtr<KVLayersItem> item = m_services.layers.Editing().NewLayer(place.parent, place.after);
    if (!item) {
        corvane::editor::showStatus(this, tr("No layer can be made here."));
        return nullptr;
    }
    afterEdit(item);
    edit(currentIndex());
    return item;
}

KVPtr<KVLayersItem> CKVLayersTreeCtrl::newGroup() {
    const auto place = m_model->placeAt(currentIndex());
    KVPtr<KVLayersItem> item = m_services.layers.Editing().NewGroup(place.parent, place.after);
    if (!item) {
        corvane::editor::showStatus(this, tr("No group can be made here."));
        return nullptr;
    }
    afterEdit(item);
    edit(currentIndex());
    return item;
}

bool CKVLayersTreeCtrl::insertItem(const KVPtr<KVLayersItem>& item) {
    const auto place = m_model->placeAt(currentIndex());
    if (!m_services.layers.Editing().Insert(item, place.parent, place.after))
        return false;
    afterEdit(item);
    return true;
}

bool CKVLayersTreeCtrl::deleteItem(const KVPtr<KVLayersItem>& item) {
    const QModelIndex index = m_model->indexOf(item.get());
    const auto parentItem = m_model->itemAt(index.parent());
    const int row = index.row();
    if (!item || !m_services.layers.Editing().Delete(item))
        return false;
    // The row that takes its place is selected, so that the keyboard can go on from there.
    rebuild();
    const QModelIndex parent = m_model->indexOf(parentItem.get());
    const int rows = m_model->rowCount(parent);
    const QModelIndex next = m_model->index(std::min(row, rows - 1), 0, parent);
    if (m_model->itemAt(next))
        selectItem(m_model->itemAt(next).get());
    else if (parentItem)
        selectItem(parentItem.get());
    emit edited(QString::fromStdString(m_services.layers.Editing().UndoText()));
    return true;
}

bool CKVLayersTreeCtrl::renameSelected() {
    const QModelIndex index = currentIndex();
    if (!(m_model->flags(index) & Qt::ItemIsEditable))
        return false;
    edit(index);
    return true;
}
