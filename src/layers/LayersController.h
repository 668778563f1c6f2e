#pragma once

#include "conditions/ConditionEdit.h"
#include "conditions/ConditionEvents.h"
#include "layers/CompositeLayer.h"
#include "layers/KeyNames.h"
#include "layers/LayerCake.h"
#include "layers/LayerEditing.h"

#include <array>
#include <bitset>
#include <memory>
#include <vector>

class CKVMessageDispatch;
class KVViewPluginInstance;
class KVActionPluginInstance;

// Owns which items are active and what every key is bound to. It re-evaluates the cake whenever
// something conditions test has changed (2025, 2029, 2030, 2031, 2040, 2046), recomposes the active
// layers, and tells the device side with 2036 (everything) and 2043 (one key). Key events (2045) reach
// the action plug-in of the binding in force. The editor and the command-line tool change the tree and
// the bindings only through Editing(), which keeps this state in step. Main thread only.
class KVLayersController final : public IKVConditionEditHost, private IKVLayerEditHost {
public:
    KVLayersController(CKVMessageDispatch& dispatch, KVLayerCake& cake,
                       KVPtr<const KVConditionEnvironment> environment);
    ~KVLayersController() override;
    KVLayersController(const KVLayersController&) = delete;
    KVLayersController& operator=(const KVLayersController&) = delete;

    // Start-up, after both set-ups: gates the user's layers on the keyboard being there, evaluates the
    // cake for the first time and recomposes when anything came on.
    void Start();
    void ReEvaluate() override;
    void Recompose() override;

    // The editor's selection: a shown item is forced on, and a shown layer wins on the keyboard.
    void ShowForEditing(const KVPtr<KVLayersItem>& item);
    void StopShowing(const KVPtr<KVLayersItem>& item);
    // The editor window went: forgets the edited item and stops showing everything, in order.
    void EditorClosed();

    // The binding in force for `key` (what pressing it does); null when no active layer binds it.
    const KVKeyBinding* Binding(unsigned key) const { return m_active.binding(key); }
    // What the keyboard shows for `key`: the shown layers first, then the active ones. Allocation-free;
    // the pointer stays valid until the next change of the cake.
    const KVKeyBinding* DisplayBinding(unsigned key) const;
    // The same as one stack: the shown layers followed by the active ones (the keyboard dump's order).
    KVPtr<KVCompositeLayer> DisplayComposition() const;
    const KVCompositeLayer& ActiveLayers() const { return m_active; }
    const std::vector<KVPtr<KVLayersItem>>& ShownItems() const { return m_shownItems; }

    // 2045: state 1 is a press, anything else a release. The release goes to the action that got the
    // press, even when the layers changed in between.
    void KeyEvent(unsigned key, int state);
    // Starts the view plug-ins of the keys now visible, stops those no longer visible, and sends 2043
    // for each key where that happened.
    void RefreshKeyPictures();

    // Shutdown: every active item is deactivated and the lists are emptied.
    void Shutdown();

    // The undoable edit operations on the tree and the bindings.
    KVLayerEditing& Editing() { return *m_editing; }
    const KVLayerEditing& Editing() const { return *m_editing; }
    // The configuration was written (or tried to be): the edit history ends here, as stale folders
    // are gone from the disk.
    void ConfigurationSaved() { m_editing->ClearHistory(); }

    // The item whose conditions the editor is editing (the condition edit host works on it).
    void SetEditedItem(KVPtr<KVLayersItem> item) { m_editedItem = std::move(item); }
    const KVPtr<KVLayersItem>& EditedItem() const { return m_editedItem; }

    // The editor's key selection in the edited item (keys 0...112). The keyboard view changes it and
    // sends 2038; the key panels read it. It lives here so that every window reads the same one.
    using KeySelection = std::bitset<128>;
    const KeySelection& SelectedKeys() const { return m_selectedKeys; }
    void SetSelectedKeys(const KeySelection& keys) { m_selectedKeys = keys; }

    bool IsItemEnabled() const override;
    bool IsItemActive() const override;
    bool IsItemShownForEditing() const override;
    const KVConditionList& ItemConditions() const override;
    bool DeactivateItem() override;

private:
    void TreeChanged(bool reordered) override;
    void ItemLeaving(const KVPtr<KVLayersItem>& item) override;
    void BindingChanged(unsigned key) override;
    const KVKeyBinding* BindingBesides(const KVLayer& layer, unsigned key) const override;
    void EditsReplayed() override;
    bool DeactivateItem(const KVPtr<KVLayersItem>& item) override;

    void rebuildShownLayers();
    void sendActiveLayersChanged();

    CKVMessageDispatch& m_dispatch;
    KVLayerCake& m_cake;
    KVPtr<const KVConditionEnvironment> m_environment;
    KVCompositeLayer m_active;
    KVCompositeLayer m_shownLayers;
    std::vector<KVPtr<KVLayersItem>> m_shownItems;
    KVPtr<KVLayersItem> m_editedItem;
    KeySelection m_selectedKeys;
    std::array<KVPtr<KVViewPluginInstance>, corvane::layers::kLayerKeyCount> m_drawing;
    std::array<KVPtr<KVActionPluginInstance>, corvane::layers::kLayerKeyCount> m_pressed;
    std::unique_ptr<KVConditionEvents> m_events;
    std::unique_ptr<KVLayerEditing> m_editing;
};
