#include "editor/LayersTreeModel.h"

#include "editor/EditorServices.h"
#include "layers/LayerCake.h"
#include "layers/LayerEvaluation.h"
#include "layers/LayersController.h"

#include <QApplication>
#include <QFont>
#include <QMimeData>
#include <QPalette>
#include <QStyle>
#include <algorithm>

KVLayersTreeModel::KVLayersTreeModel(KVEditorServices& services, QObject* parent)
    : QAbstractItemModel(parent), m_services(services) {
    rebuild();
}

bool KVLayersTreeModel::isProtected(const KVLayersItem& item) {
    return item.hasFlag(KV_ITEM_BUILT_IN);
}

void KVLayersTreeModel::rebuild() {
    beginResetModel();
    m_nodes.clear();
    m_top.clear();
    if (const auto user = m_services.cake.userLayers())
        addChildren(-1, *user);
    if (m_top.empty())
        addNode(Kind::NoLayers, nullptr, -1);
    endResetModel();
}

int KVLayersTreeModel::addNode(Kind kind, KVPtr<KVLayersItem> item, int parent) {
    const int index = int(m_nodes.size());
    m_nodes.push_back(Node{kind, std::move(item), parent, 0, {}});
    // Looked up after the push: a reference into m_nodes would not survive its growth.
    auto& siblings = parent < 0 ? m_top : m_nodes[size_t(parent)].children;
    m_nodes.back().row = int(siblings.size());
    siblings.push_back(index);
    return index;
}

void KVLayersTreeModel::addChildren(int parent, const KVLayersItem& group) {
    for (const auto& child : group.children()) {
        const int node = addNode(Kind::Item, child, parent);
        if (!child->isGroup())
            continue;
        if (child->children().empty())
            addNode(Kind::EmptyGroup, nullptr, node);
        else
            addChildren(node, *child);
    }
}

const KVLayersTreeModel::Node* KVLayersTreeModel::nodeAt(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this || index.internalId() >= m_nodes.size())
        return nullptr;
    return &m_nodes[index.internalId()];
}

const std::vector<int>& KVLayersTreeModel::childrenOf(const QModelIndex& parent) const {
    static const std::vector<int> none;
    if (!parent.isValid())
        return m_top;
    const Node* node = nodeAt(parent);
    return node ? node->children : none;
}

KVPtr<KVLayersItem> KVLayersTreeModel::groupOf(const Node& node) const {
    if (node.parent >= 0)
        return m_nodes[size_t(node.parent)].item;
    return m_services.cake.userLayers();
}

KVPtr<KVLayersItem> KVLayersTreeModel::itemAt(const QModelIndex& index) const {
    const Node* node = nodeAt(index);
    return node ? node->item : nullptr;
}

QModelIndex KVLayersTreeModel::indexOf(const KVLayersItem* item) const {
    if (!item)
        return {};
    for (size_t i = 0; i < m_nodes.size(); ++i)
        if (m_nodes[i].item.get() == item)
            return createIndex(m_nodes[i].row, 0, quintptr(i));
    return {};
}

KVLayersTreeModel::Place KVLayersTreeModel::placeAt(const QModelIndex& selection) const {
    const Node* node = nodeAt(selection);
    if (!node)
        return {m_services.cake.userLayers(), nullptr};
    if (node->kind == Kind::NoLayers)
        return {groupOf(*node), nullptr};
    if (node->kind == Kind::EmptyGroup)
        return {groupOf(*node), nullptr};
    if (node->item->isGroup())
        return {node->item, nullptr};
    const auto& siblings = node->parent < 0 ? m_top : m_nodes[size_t(node->parent)].children;
    KVPtr<KVLayersItem> before;
    if (node->row > 0)
        before = m_nodes[size_t(siblings[size_t(node->row - 1)])].item;
    return {groupOf(*node), before};
}

QModelIndex KVLayersTreeModel::index(int row, int column, const QModelIndex& parent) const {
    const auto& list = childrenOf(parent);
    if (column != 0 || row < 0 || size_t(row) >= list.size())
        return {};
    return createIndex(row, 0, quintptr(list[size_t(row)]));
}

QModelIndex KVLayersTreeModel::parent(const QModelIndex& child) const {
    const Node* node = nodeAt(child);
    if (!node || node->parent < 0)
        return {};
    return createIndex(m_nodes[size_t(node->parent)].row, 0, quintptr(node->parent));
}

int KVLayersTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0)
        return 0;
    return int(childrenOf(parent).size());
}

int KVLayersTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

namespace {

QString itemToolTip(const KVLayersItem& item) {
    const QString kind = item.isGroup() ? QObject::tr("Group") : QObject::tr("Layer");
    QString tip = QStringLiteral("%1 \"%2\"").arg(kind, QString::fromStdString(item.displayName()));
    if (!item.isEnabled())
        tip += QObject::tr(": switched off");
    else if (item.isActive())
        tip += QObject::tr(": on the keyboard now");
    else
        tip += QObject::tr(": waiting for its conditions");
    return tip;
}

} // namespace

QVariant KVLayersTreeModel::data(const QModelIndex& index, int role) const {
    const Node* node = nodeAt(index);
    if (!node)
        return {};
    if (node->kind != Kind::Item) {
        const char* text = node->kind == Kind::EmptyGroup ? kEmptyGroupText : kNoLayersText;
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return QString::fromUtf8(text);
        case Qt::ForegroundRole:
            return QApplication::palette().brush(QPalette::PlaceholderText);
        case Qt::FontRole: {
            QFont font;
            font.setItalic(true);
            return font;
        }
        default:
            return {};
        }
    }
    const KVLayersItem& item = *node->item;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        // An item stored without a name still needs a row one can point at.
        return QString::fromStdString(item.displayName().empty() ? item.identifier() : item.displayName());
    case Qt::EditRole:
        return QString::fromStdString(item.displayName());
    case Qt::CheckStateRole:
        return item.isEnabled() ? Qt::Checked : Qt::Unchecked;
    case Qt::ToolTipRole:
        return itemToolTip(item);
    case Qt::DecorationRole:
        return QApplication::style()->standardIcon(item.isGroup() ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
    default:
        return {};
    }
}

bool KVLayersTreeModel::changed(bool done, const char* refusal) {
    if (done)
        emit edited(QString::fromStdString(m_services.layers.Editing().UndoText()));
    else
        emit refused(tr(refusal));
    return done;
}

bool KVLayersTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const Node* node = nodeAt(index);
    if (!node || !node->item)
        return false;
    const KVPtr<KVLayersItem> item = node->item;
    auto& editing = m_services.layers.Editing();
    if (role == Qt::CheckStateRole) {
        const bool enable = value.toInt() == Qt::Checked;
        if (enable == item->isEnabled())
            return false;
        const bool done = enable ? editing.Enable(item) : editing.Disable(item);
        if (done)
            emit dataChanged(index, index);
        return changed(done, "The item could not be switched.");
    }
    if (role == Qt::EditRole) {
        const std::string name = value.toString().trimmed().toStdString();
        if (name == item->displayName())
            return false;
        const bool done = editing.Rename(item, name);
        if (done)
            emit dataChanged(index, index);
        return changed(done, "The name was not changed: built-in items and empty names are refused.");
    }
    return false;
}

Qt::ItemFlags KVLayersTreeModel::flags(const QModelIndex& index) const {
    const Node* node = nodeAt(index);
    if (!node)
        return Qt::ItemIsDropEnabled;
    if (node->kind != Kind::Item)
        return Qt::ItemIsEnabled | Qt::ItemIsDropEnabled;
    Qt::ItemFlags flags =
        Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsDropEnabled;
    if (!isProtected(*node->item))
        flags |= Qt::ItemIsEditable | Qt::ItemIsDragEnabled;
    return flags;
}

QStringList KVLayersTreeModel::mimeTypes() const {
    return {QString::fromUtf8(kMimeType)};
}

QMimeData* KVLayersTreeModel::mimeData(const QModelIndexList& indexes) const {
    for (const auto& index : indexes)
        if (const auto item = itemAt(index); item && !isProtected(*item)) {
            auto* data = new QMimeData;
            data->setData(QString::fromUtf8(kMimeType), QByteArray::fromStdString(item->identifier()));
            return data;
        }
    return nullptr;
}

KVPtr<KVLayersItem> KVLayersTreeModel::draggedItem(const QMimeData* data) const {
    const auto user = m_services.cake.userLayers();
    if (!data || !user || !data->hasFormat(QString::fromUtf8(kMimeType)))
        return nullptr;
    const std::string identifier = data->data(QString::fromUtf8(kMimeType)).toStdString();
    KVPtr<KVLayersItem> found;
    corvane::layers::forEachItem(user->children(), [&](const KVPtr<KVLayersItem>& item) {
        if (!found && item->identifier() == identifier)
            found = item;
    });
    return found;
}

bool KVLayersTreeModel::dropPlace(int row, const QModelIndex& parent, Place& place) const {
    if (row >= 0) {
        const Node* group = nodeAt(parent);
        if (group && (!group->item || !group->item->isGroup()))
            return false;
        const auto& list = childrenOf(parent);
        place.parent = group ? group->item : m_services.cake.userLayers();
        place.after = nullptr;
        if (row > 0 && size_t(row) <= list.size())
            place.after = m_nodes[size_t(list[size_t(row - 1)])].item; // empty for a placeholder row
        return place.parent != nullptr;
    }
    const Node* target = nodeAt(parent);
    if (!target) {
        // Below the last row: the end of the user's layers.
        place.parent = m_services.cake.userLayers();
        place.after = m_top.empty() ? nullptr : m_nodes[size_t(m_top.back())].item;
        return place.parent != nullptr;
    }
    place = placeAt(parent);
    return place.parent != nullptr;
}

bool KVLayersTreeModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
                                        const QModelIndex& parent) const {
    if (action != Qt::MoveAction)
        return false;
    const auto item = draggedItem(data);
    Place place;
    if (!item || isProtected(*item) || !dropPlace(row, parent, place) || place.after == item)
        return false;
    // Not into itself or anything below it.
    const auto path = corvane::layers::pathTo(m_services.cake.items(), place.parent.get());
    return std::find(path.begin(), path.end(), item) == path.end();
}

bool KVLayersTreeModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                     const QModelIndex& parent) {
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    const auto item = draggedItem(data);
    Place place;
    dropPlace(row, parent, place);
    if (place.after == item)
        return false;
    const bool done = m_services.layers.Editing().Move(item, place.parent, place.after);
    if (!done)
        return false; // dropped where it already was
    rebuild();
    return changed(true, "");
}
