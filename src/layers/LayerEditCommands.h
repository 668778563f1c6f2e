#pragma once

#include "layers/LayerEditing.h"

#include <memory>
#include <vector>

// The recorded steps of the layer editing. Each holds what it needs to go both ways: the item itself
// and its places, or the bindings as they were and as they became.
namespace corvane::layers {

// An item put into the tree (new), taken out (delete) or moved. Moving a layer to another group gives it
// a new folder, so its pictures are marked to be written there; undoing the move takes those marks back.
class KVPlaceItemCommand final : public KVUndoCommand {
public:
    KVPlaceItemCommand(KVLayerEditing& editing, std::string text, KVPtr<KVLayersItem> item,
                       std::optional<KVItemPlace> from, std::optional<KVItemPlace> to);
    void redo() override;
    void undo() override;

private:
    bool changesFolder() const;

    KVLayerEditing& m_editing;
    KVPtr<KVLayersItem> m_item;
    std::optional<KVItemPlace> m_from;
    std::optional<KVItemPlace> m_to;
    std::optional<std::vector<KVPtr<KVImage>>> m_marked;
};

class KVEnableItemCommand final : public KVUndoCommand {
public:
    KVEnableItemCommand(KVLayerEditing& editing, std::string text, KVPtr<KVLayersItem> item, bool enable);
    void redo() override { m_editing.setEnabled(m_item, m_enable); }
    void undo() override { m_editing.setEnabled(m_item, !m_enable); }

private:
    KVLayerEditing& m_editing;
    KVPtr<KVLayersItem> m_item;
    bool m_enable;
};

class KVRenameItemCommand final : public KVUndoCommand {
public:
    KVRenameItemCommand(std::string text, KVPtr<KVLayersItem> item, std::string newName);
    void redo() override { m_item->setDisplayName(m_newName); }
    void undo() override { m_item->setDisplayName(m_oldName); }

private:
    KVPtr<KVLayersItem> m_item;
    std::string m_oldName;
    std::string m_newName;
};

// One or more keys of one or more layers, each from its old binding to its new one.
class KVBindingsCommand final : public KVUndoCommand {
public:
    struct Change {
        KVPtr<KVLayer> layer;
        unsigned key = 0;
        KVKeyBinding before;
        KVKeyBinding after;
    };
    KVBindingsCommand(KVLayerEditing& editing, std::string text, std::vector<Change> changes);
    void redo() override;
    void undo() override;

private:
    KVLayerEditing& m_editing;
    std::vector<Change> m_changes;
};

// A condition added to an item (with its place in the list) or taken from it.
class KVConditionPlaceCommand final : public KVUndoCommand {
public:
    KVConditionPlaceCommand(KVLayerEditing& editing, std::string text, KVPtr<KVLayersItem> item,
                            KVPtr<KVCondition> condition, size_t index, bool adding);
    void redo() override { put(m_adding); }
    void undo() override { put(!m_adding); }

private:
    void put(bool in);

    KVLayerEditing& m_editing;
    KVPtr<KVLayersItem> m_item;
    KVPtr<KVCondition> m_condition;
    size_t m_index;
    bool m_adding;
};

// One value of one condition, from what it was to what it became; both ways go through the condition
// edit so that the item's activation follows.
class KVConditionEditCommand final : public KVUndoCommand {
public:
    KVConditionEditCommand(KVLayerEditing& editing, std::string text, KVPtr<KVLayersItem> item,
                           KVPtr<KVCondition> condition, std::unique_ptr<KVOperation> forward,
                           std::unique_ptr<KVOperation> backward);
    void redo() override { m_editing.applyConditionEdit(m_item, *m_condition, *m_forward); }
    void undo() override { m_editing.applyConditionEdit(m_item, *m_condition, *m_backward); }

private:
    KVLayerEditing& m_editing;
    KVPtr<KVLayersItem> m_item;
    KVPtr<KVCondition> m_condition;
    std::unique_ptr<KVOperation> m_forward;
    std::unique_ptr<KVOperation> m_backward;
};

} // namespace corvane::layers
