#include "layers/LayersController.h"

#include "conditions/SysCondition.h"
#include "core/Log.h"
#include "core/MessageDispatch.h"
#include "layers/LayerEvaluation.h"
#include "plugins/ActionPluginInstance.h"
#include "plugins/ViewPluginInstance.h"

#include <algorithm>

using corvane::layers::kLayerKeyCount;

KVLayersController::KVLayersController(CKVMessageDispatch& dispatch, KVLayerCake& cake,
                                       KVPtr<const KVConditionEnvironment> environment)
    : m_dispatch(dispatch), m_cake(cake), m_environment(std::move(environment)) {
    m_events = std::make_unique<KVConditionEvents>(m_dispatch, [this] { ReEvaluate(); });
    m_editing = std::make_unique<KVLayerEditing>(m_cake, static_cast<IKVLayerEditHost&>(*this));
    m_dispatch.RegisterHandler<KVM_KEY_EVENT>(this, &KVLayersController::KeyEvent);
}

KVLayersController::~KVLayersController() {
    m_dispatch.UnregisterHandlers(this);
    m_events.reset();
}

void KVLayersController::Start() {
    if (const auto user = m_cake.userLayers())
        corvane::addCondition(user->conditions(), std::make_shared<KVSysCondition>(m_environment));
    else
        corvane::logger("layers").error(
            "there is no group of user layers to start with; were the layers set up?");
    if (corvane::layers::evaluateItems(m_cake.items(), m_active))
        Recompose();
}

void KVLayersController::ReEvaluate() {
    if (corvane::layers::evaluateItems(m_cake.items(), m_active))
        Recompose();
}

void KVLayersController::Recompose() {
    m_active = corvane::layers::collectLayers(m_cake.items(), KV_ITEM_ACTIVE);
    RefreshKeyPictures();
    sendActiveLayersChanged();
}

void KVLayersController::sendActiveLayersChanged() {
    m_dispatch.send<KVM_ACTIVE_LAYERS_CHANGED>();
}

void KVLayersController::rebuildShownLayers() {
    m_shownLayers = corvane::layers::collectLayers(m_cake.items(), KV_ITEM_SHOWN);
}

void KVLayersController::ShowForEditing(const KVPtr<KVLayersItem>& item) {
    if (!item)
        return;
    item->setFlag(KV_ITEM_SHOWN, true);
    if (std::find(m_shownItems.begin(), m_shownItems.end(), item) == m_shownItems.end())
        m_shownItems.push_back(item);
    if (item->isGroup())
        return;
    rebuildShownLayers();
    if (!item->isActive()) {
        corvane::layers::activateItem(item, m_active);
        Recompose();
    } else {
        // The keyboard shows the shown layers first, so it must be told even when nothing came on.
        RefreshKeyPictures();
        sendActiveLayersChanged();
    }
}

void KVLayersController::StopShowing(const KVPtr<KVLayersItem>& item) {
    if (!item)
        return;
    item->setFlag(KV_ITEM_SHOWN, false);
    std::erase(m_shownItems, item);
    if (item->isGroup())
        return;
    rebuildShownLayers();
    // The layer stays on only while it qualifies by itself and every group above it is active.
    bool keep = item->qualifies();
    if (keep) {
        const auto path = corvane::layers::pathTo(m_cake.items(), item.get());
        keep = !path.empty() &&
               std::all_of(path.begin(), path.end() - 1, [](const auto& group) { return group->isActive(); });
    }
    if (!keep)
        corvane::layers::deactivateItem(item, m_active);
    Recompose();
}

void KVLayersController::EditorClosed() {
    m_editedItem.reset();
    m_selectedKeys.reset();
    const auto shown = m_shownItems;
    for (const auto& item : shown)
        StopShowing(item);
}

const KVKeyBinding* KVLayersController::DisplayBinding(unsigned key) const {
    if (const auto* shown = m_shownLayers.binding(key))
        return shown;
    return m_active.binding(key);
}

KVPtr<KVCompositeLayer> KVLayersController::DisplayComposition() const {
    auto composition = std::make_shared<KVCompositeLayer>(m_shownLayers.layers());
    composition->appendAll(m_active);
    return composition;
}

void KVLayersController::KeyEvent(unsigned key, int state) {
    if (key >= kLayerKeyCount) {
        corvane::logger("layers").warn("key event for key {}, which the keyboard does not have", key);
        return;
    }
    if (state == 1) {
        const auto* binding = Binding(key);
        if (!binding || !binding->actionPlugin)
            return;
        if (m_pressed[key] && m_pressed[key] != binding->actionPlugin)
            m_pressed[key]->KeyUp();
        m_pressed[key] = binding->actionPlugin;
        m_pressed[key]->KeyDown();
        return;
    }
    if (auto pressed = std::move(m_pressed[key]))
        pressed->KeyUp();
}

void KVLayersController::RefreshKeyPictures() {
    for (unsigned key = 0; key < kLayerKeyCount; ++key) {
        const auto* binding = DisplayBinding(key);
        const auto& visible = binding ? binding->viewPlugin : nullptr;
        bool changed = false;
        if (m_drawing[key] && m_drawing[key] != visible) {
            m_drawing[key]->StopView();
            m_drawing[key].reset();
            changed = true;
        }
        if (visible && !visible->IsDrawing() && visible->StartView())
            changed = true;
        if (visible && visible->IsDrawing())
            m_drawing[key] = visible;
        if (changed)
            m_dispatch.send<KVM_KEY_CHANGED>(key);
    }
}

void KVLayersController::Shutdown() {
    // The history holds deleted items and their plug-in instances; they go before the plug-ins do.
    m_editing->ClearHistory();
    for (auto& pressed : m_pressed)
        if (auto action = std::move(pressed))
            action->KeyUp();
    for (auto& view : m_drawing)
        if (auto drawing = std::move(view))
            drawing->StopView();
    corvane::layers::forEachItem(m_cake.items(), [](const KVPtr<KVLayersItem>& item) {
        if (item->isActive())
            item->deactivate();
    });
    m_active.clear();
    m_shownLayers.clear();
    m_shownItems.clear();
    m_editedItem.reset();
}

bool KVLayersController::IsItemEnabled() const {
    return m_editedItem && m_editedItem->isEnabled();
}
bool KVLayersController::IsItemActive() const {
    return m_editedItem && m_editedItem->isActive();
}
bool KVLayersController::IsItemShownForEditing() const {
    return m_editedItem && m_editedItem->isShownForEditing();
}

const KVConditionList& KVLayersController::ItemConditions() const {
    static const KVConditionList none;
    return m_editedItem ? m_editedItem->conditions() : none;
}

bool KVLayersController::DeactivateItem() {
    return DeactivateItem(m_editedItem);
}

bool KVLayersController::DeactivateItem(const KVPtr<KVLayersItem>& item) {
    return item && corvane::layers::deactivateItem(item, m_active);
}

void KVLayersController::TreeChanged(bool reordered) {
    const bool changed = corvane::layers::evaluateItems(m_cake.items(), m_active);
    rebuildShownLayers();
    if (changed || reordered)
        Recompose();
}

void KVLayersController::ItemLeaving(const KVPtr<KVLayersItem>& item) {
    // Shown items below a deleted group would otherwise stay on the keyboard with nothing to select them.
    auto forget = [this](const KVPtr<KVLayersItem>& each) {
        each->setFlag(KV_ITEM_SHOWN, false);
        std::erase(m_shownItems, each);
        if (m_editedItem == each)
            m_editedItem.reset();
    };
    forget(item);
    corvane::layers::forEachItem(item->children(), forget);
    corvane::layers::deactivateItem(item, m_active);
}

void KVLayersController::BindingChanged(unsigned key) {
    RefreshKeyPictures();
    m_dispatch.send<KVM_KEY_CHANGED>(key);
}

const KVKeyBinding* KVLayersController::BindingBesides(const KVLayer& layer, unsigned key) const {
    if (key >= kLayerKeyCount)
        return nullptr;
    for (const auto* layers : {&m_shownLayers, &m_active})
        for (const auto& each : layers->layers())
            if (each.get() != &layer && each->binding(key).isSet())
                return &each->binding(key);
    return nullptr;
}

void KVLayersController::EditsReplayed() {
    // The tree and the key panels rebuild on this one, the keyboard picture on the other.
    m_dispatch.send<KVM_KEYS_EDITED>();
    m_dispatch.send<KVM_BINDING_EDITED>();
}
