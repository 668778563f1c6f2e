#include "layers/LayerEditCommands.h"

#include "images/KVImage.h"
#include "layers/LayerEvaluation.h"

namespace corvane::layers {
namespace {

// The pictures below `item` that the next save would not write.
std::vector<KVPtr<KVImage>> unmarkedPictures(const KVPtr<KVLayersItem>& item) {
    std::vector<KVPtr<KVImage>> pictures;
    auto collect = [&](const KVPtr<KVLayersItem>& each) {
        const auto* layer = dynamic_cast<const KVLayer*>(each.get());
        if (!layer)
            return;
        for (const auto& binding : layer->bindings())
            if (binding.image && !binding.image->isChanged())
                pictures.push_back(binding.image);
    };
    collect(item);
    forEachItem(item->children(), collect);
    return pictures;
}

void markPictures(const std::vector<KVPtr<KVImage>>& pictures, bool changed) {
    for (const auto& picture : pictures)
        picture->setChanged(changed);
}

} // namespace

KVPlaceItemCommand::KVPlaceItemCommand(KVLayerEditing& editing, std::string text, KVPtr<KVLayersItem> item,
                                       std::optional<KVItemPlace> from, std::optional<KVItemPlace> to)
    : KVUndoCommand(std::move(text)), m_editing(editing), m_item(std::move(item)), m_from(std::move(from)),
      m_to(std::move(to)) {}

bool KVPlaceItemCommand::changesFolder() const {
    return m_from && m_to && m_from->parent != m_to->parent;
}

void KVPlaceItemCommand::redo() {
    if (changesFolder()) {
        if (!m_marked)
            m_marked = unmarkedPictures(m_item);
        markPictures(*m_marked, true);
    }
    m_editing.place(m_item, m_from, m_to);
}

void KVPlaceItemCommand::undo() {
    m_editing.place(m_item, m_to, m_from);
    if (m_marked)
        markPictures(*m_marked, false);
}

KVEnableItemCommand::KVEnableItemCommand(KVLayerEditing& editing, std::string text, KVPtr<KVLayersItem> item,
                                         bool enable)
    : KVUndoCommand(std::move(text)), m_editing(editing), m_item(std::move(item)), m_enable(enable) {}

KVRenameItemCommand::KVRenameItemCommand(std::string text, KVPtr<KVLayersItem> item, std::string newName)
    : KVUndoCommand(std::move(text)), m_item(std::move(item)), m_oldName(m_item->displayName()),
      m_newName(std::move(newName)) {}

KVBindingsCommand::KVBindingsCommand(KVLayerEditing& editing, std::string text, std::vector<Change> changes)
    : KVUndoCommand(std::move(text)), m_editing(editing), m_changes(std::move(changes)) {}

void KVBindingsCommand::redo() {
    for (const auto& change : m_changes)
        m_editing.putBinding(*change.layer, change.key, change.after);
}

void KVBindingsCommand::undo() {
    for (auto it = m_changes.rbegin(); it != m_changes.rend(); ++it)
        m_editing.putBinding(*it->layer, it->key, it->before);
}

KVConditionPlaceCommand::KVConditionPlaceCommand(KVLayerEditing& editing, std::string text,
                                                 KVPtr<KVLayersItem> item, KVPtr<KVCondition> condition,
                                                 size_t index, bool adding)
    : KVUndoCommand(std::move(text)), m_editing(editing), m_item(std::move(item)),
      m_condition(std::move(condition)), m_index(index), m_adding(adding) {}

void KVConditionPlaceCommand::put(bool in) {
    m_editing.putCondition(m_item, m_condition, in ? std::optional<size_t>(m_index) : std::nullopt);
}

KVConditionEditCommand::KVConditionEditCommand(KVLayerEditing& editing, std::string text,
                                               KVPtr<KVLayersItem> item, KVPtr<KVCondition> condition,
                                               std::unique_ptr<KVOperation> forward,
                                               std::unique_ptr<KVOperation> backward)
    : KVUndoCommand(std::move(text)), m_editing(editing), m_item(std::move(item)),
      m_condition(std::move(condition)), m_forward(std::move(forward)), m_backward(std::move(backward)) {}

} // namespace corvane::layers
