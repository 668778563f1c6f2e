#pragma once

#include "conditions/ApplicationCondition.h"
#include "conditions/ModifierCondition.h"
#include "conditions/Operation.h"
#include "conditions/SysLayoutCondition.h"
#include "images/KVLabelStyle.h"
#include "layers/BindingEdit.h"
#include "layers/Layer.h"
#include "layers/LayersGroup.h"
#include "layers/UndoStack.h"
#include "plugins/ConditionPluginInstance.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

class KVImage;
class KVLayerCake;
class KVTextRenderer;

// What the editing operations need from the owner of the active state (the layers controller).
class IKVLayerEditHost {
public:
    virtual ~IKVLayerEditHost() = default;
    // An item came, went, moved or was switched on or off: bring the active state in line with the tree
    // and recompose when it changed or when the order of layers may have changed.
    virtual void TreeChanged(bool reordered) = 0;
    // `item` and everything below it leave the tree: nothing of it stays shown, active or running.
    virtual void ItemLeaving(const KVPtr<KVLayersItem>& item) = 0;
    // The binding of `key` changed in some layer: key pictures refreshed and the device told.
    virtual void BindingChanged(unsigned key) = 0;
    // What `key` shows from the layers other than `layer` (the source of "Push"); null when none.
    virtual const KVKeyBinding* BindingBesides(const KVLayer& layer, unsigned key) const = 0;
    // An undo or redo changed the model behind the editor's back: its windows must look again.
    virtual void EditsReplayed() = 0;
    // A condition of `item` stopped holding: the item goes off as the evaluation would take it off;
    // true when the active layers changed (then Recompose follows).
    virtual bool DeactivateItem(const KVPtr<KVLayersItem>& item) = 0;
    virtual void Recompose() = 0;
};

// Where an item sits: its parent group (none for the top of the cake) and its index in that list.
struct KVItemPlace {
    KVPtr<KVLayersGroup> parent;
    size_t index = 0;
};

// The operations through which the editor and the command-line tool change the layer tree and the key
// bindings, each one recorded as an undoable step. Nothing is written to disk here; the history is
// cleared when the configuration is saved. Every operation answers whether it changed anything; empty
// references, keys past the table and refused edits (built-in items, a group moved into itself) change
// nothing and are logged.
class KVLayerEditing {
public:
    KVLayerEditing(KVLayerCake& cake, IKVLayerEditHost& host);

    // New items go into `parent` (none: the top of the cake) just after `after`: first when `after` is
    // empty, last when `after` is not in that list.
    KVPtr<KVLayer> NewLayer(const KVPtr<KVLayersItem>& parent, const KVPtr<KVLayersItem>& after);
    KVPtr<KVLayersGroup> NewGroup(const KVPtr<KVLayersItem>& parent, const KVPtr<KVLayersItem>& after);
    // An item made elsewhere (an imported archive, a layer cut from a picture) goes into the tree.
    bool Insert(const KVPtr<KVLayersItem>& item, const KVPtr<KVLayersItem>& parent,
                const KVPtr<KVLayersItem>& after);
    bool Delete(const KVPtr<KVLayersItem>& item);
    bool Move(const KVPtr<KVLayersItem>& item, const KVPtr<KVLayersItem>& newParent,
              const KVPtr<KVLayersItem>& after);
    bool Enable(const KVPtr<KVLayersItem>& item);
    bool Disable(const KVPtr<KVLayersItem>& item);
    bool Rename(const KVPtr<KVLayersItem>& item, const std::string& displayName);

    // The editor's "Paste" (all fields) and "Partial..." (the fields chosen there).
    bool CopyBinding(const KVKeyBinding& source, const KVPtr<KVLayer>& target, unsigned key,
                     unsigned fields = corvane::layers::KV_FIELD_ALL);
    bool SwapBindings(const KVPtr<KVLayer>& layerA, unsigned keyA, const KVPtr<KVLayer>& layerB,
                      unsigned keyB);
    bool ClearBinding(const KVPtr<KVLayer>& layer, unsigned key);
    // The editor's "Push": the layer takes over what the key shows now from the other layers, so that
    // it can be changed from there.
    bool PushBinding(const KVPtr<KVLayer>& layer, unsigned key);
    // Several keys at once, as one step.
    bool ClearBindings(const KVPtr<KVLayer>& layer, std::span<const unsigned> keys);
    bool PushBindings(const KVPtr<KVLayer>& layer, std::span<const unsigned> keys);

    // The key property panels. An empty picture or plug-in id removes it.
    bool SetKeyImage(const KVPtr<KVLayer>& layer, unsigned key, KVPtr<KVImage> image);
    // The key's own code and action code; an action plug-in gives way to them.
    bool SetKeyCode(const KVPtr<KVLayer>& layer, unsigned key, uint8_t scanCode, uint8_t actionCode);
    bool SetViewPlugin(const KVPtr<KVLayer>& layer, unsigned key, const std::string& pluginId,
                       const std::string& subPluginId);
    bool SetActionPlugin(const KVPtr<KVLayer>& layer, unsigned key, const std::string& pluginId,
                         const std::string& subPluginId);
    // One setting of the key's view or action plug-in (an empty value removes it). The key gets a new
    // instance with the setting, so the plug-in starts again with it; false when the key has no
    // instance of that kind or the setting holds that value already.
    bool SetPluginSetting(const KVPtr<KVLayer>& layer, unsigned key, KVSubPluginKind kind,
                          const KVPluginSettingValue& setting);

    // The text label editor: each of `keys` that has a caption takes the label style (none: back to the
    // defaults) and its caption is drawn anew in it; all of them as one step. Keys without a caption, or
    // whose label keys would stay as they are, are passed over; nothing left to change makes no step.
    bool SetLabelProperties(const KVPtr<KVLayer>& layer, std::span<const unsigned> keys,
                            const std::optional<KVLabelStyle>& style, KVTextRenderer& renderer);
    // The condition editor. The item's activation follows each change and each undo. The conditions of
    // the system layers are made afresh at every start, so they are not edited.
    bool AddCondition(const KVPtr<KVLayersItem>& item, KVPtr<KVCondition> condition);
    bool RemoveCondition(const KVPtr<KVLayersItem>& item, const KVPtr<KVCondition>& condition);
    // Modifier and lock conditions alike.
    bool SetConditionMask(const KVPtr<KVLayersItem>& item, const KVPtr<KVModifierCondition>& condition,
                          uint32_t mask);
    bool SetConditionLayout(const KVPtr<KVLayersItem>& item, const KVPtr<KVSysLayoutCondition>& condition,
                            uint32_t layout);
    bool SetConditionApplication(const KVPtr<KVLayersItem>& item,
                                 const KVPtr<KVApplicationCondition>& condition, const std::string& id);
    bool SetConditionForeground(const KVPtr<KVLayersItem>& item,
                                const KVPtr<KVApplicationCondition>& condition, bool foreground);
    bool SetConditionSetting(const KVPtr<KVLayersItem>& item,
                             const KVPtr<KVConditionPluginInstance>& condition,
                             const KVPluginSettingValue& setting);
    // Whether the condition editor may change the conditions of `item` (asked quietly; the operations
    // log why they refuse).
    bool conditionsEditable(const KVPtr<KVLayersItem>& item) const;

    // Groups the operations in between into one step ("Paste to 4 keys").
    void BeginMacro(std::string text) { m_history.beginMacro(std::move(text)); }
    void EndMacro() { m_history.endMacro(); }

    bool Undo();
    bool Redo();
    bool CanUndo() const { return m_history.canUndo(); }
    bool CanRedo() const { return m_history.canRedo(); }
    std::string UndoText() const { return m_history.undoText(); }
    std::string RedoText() const { return m_history.redoText(); }
    // The configuration was saved: stored folders of deleted items are gone, so nothing before this
    // point can be taken back safely.
    void ClearHistory() { m_history.clear(); }
    const KVUndoStack& history() const { return m_history; }

    // Used by the recorded steps to replay themselves.
    void place(const KVPtr<KVLayersItem>& item, const std::optional<KVItemPlace>& from,
               const std::optional<KVItemPlace>& to);
    void setEnabled(const KVPtr<KVLayersItem>& item, bool enabled);
    void putBinding(KVLayer& layer, unsigned key, const KVKeyBinding& value);
    // Puts `condition` into the item's list at `index` (started), or takes it out (stopped) without one.
    void putCondition(const KVPtr<KVLayersItem>& item, const KVPtr<KVCondition>& condition,
                      std::optional<size_t> index);
    // Applies an edit of one of the item's conditions and brings the item's activation in line.
    void applyConditionEdit(const KVPtr<KVLayersItem>& item, KVCondition& condition, KVOperation& operation);

private:
    template <class Item>
    KVPtr<Item> newItem(const KVPtr<KVLayersItem>& parent, const KVPtr<KVLayersItem>& after,
                        const char* displayName);
    // The item's place in the cake; none when it is not in it.
    std::optional<KVItemPlace> placeOf(const KVLayersItem& item) const;
    // A group (or the top of the cake) that user items may go into; logs why not.
    bool acceptsItems(const KVPtr<KVLayersItem>& parent) const;
    // Built-in items and everything inside the system layers stay where and what they are.
    bool isProtected(const KVLayersItem& item) const;
    KVLayerCakeItemsStorage& listOf(const KVPtr<KVLayersGroup>& parent);
    bool changeBinding(const KVPtr<KVLayer>& layer, unsigned key, const KVKeyBinding& value,
                       std::string text);
    bool validKey(const KVPtr<KVLayer>& layer, unsigned key) const;
    // An item, or one of its conditions, that the editor may change; logs why not.
    bool editableItem(const KVPtr<KVLayersItem>& item) const;
    bool editableCondition(const KVPtr<KVLayersItem>& item, const KVPtr<KVCondition>& condition) const;
    template <class T, class P>
    bool changeCondition(const KVPtr<KVLayersItem>& item, const KVPtr<T>& condition, void (T::*setter)(P),
                         std::remove_cvref_t<P> before, std::remove_cvref_t<P> after);

    KVLayerCake& m_cake;
    IKVLayerEditHost& m_host;
    KVUndoStack m_history;
};
