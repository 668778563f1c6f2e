#include "editor/KeyCommands.h"

#include "core/MessageDispatch.h"
#include "editor/EditorServices.h"
#include "layers/LayersController.h"

#include <QCoreApplication>
#include <QMenu>
#include <algorithm>

namespace {

QString text(const char* source) {
    return QCoreApplication::translate("CKVLayersView", source);
}

// What `key` shows from the layers other than `layer`, in the keyboard's order.
const KVKeyBinding* shownBesides(const KVLayersController& layers, const KVLayer& layer, unsigned key) {
    const auto composition = layers.DisplayComposition();
    for (const auto& each : composition->layers())
        if (each.get() != &layer && each->binding(key).isSet())
            return &each->binding(key);
    return nullptr;
}

// What `key` of the shown layer looks like in the view: its own binding, else what shows through.
const KVKeyBinding* shownBinding(const KVLayersController& layers, const KVLayer& layer, unsigned key) {
    if (layer.binding(key).isSet())
        return &layer.binding(key);
    return layers.DisplayBinding(key);
}

bool validKey(unsigned key) {
    return key < corvane::layers::kLayerKeyCount;
}

} // namespace

KVPtr<KVLayer> KVKeyCommands::editableLayer() const {
    const auto& item = m_services.layers.EditedItem();
    if (!item || item->isGroup() || item->hasFlag(KV_ITEM_BUILT_IN))
        return nullptr;
    return std::dynamic_pointer_cast<KVLayer>(item);
}

bool KVKeyCommands::canDelete(const std::vector<unsigned>& keys) const {
    const auto layer = editableLayer();
    return layer && std::any_of(keys.begin(), keys.end(),
                                [&](unsigned key) { return validKey(key) && layer->binding(key).isSet(); });
}

bool KVKeyCommands::canPush(const std::vector<unsigned>& keys) const {
    const auto layer = editableLayer();
    return layer && std::any_of(keys.begin(), keys.end(), [&](unsigned key) {
               return validKey(key) && shownBesides(m_services.layers, *layer, key);
           });
}

bool KVKeyCommands::canSwap(unsigned source, unsigned target) const {
    const auto layer = editableLayer();
    return layer && source != target && validKey(source) && validKey(target) &&
           (layer->binding(source).isSet() || layer->binding(target).isSet());
}

bool KVKeyCommands::canPaste(unsigned source, unsigned target) const {
    const auto layer = editableLayer();
    return layer && source != target && validKey(source) && validKey(target) &&
           shownBinding(m_services.layers, *layer, source);
}

bool KVKeyCommands::deleteKeys(const std::vector<unsigned>& keys) {
    const auto layer = editableLayer();
    return layer && announce(m_services.layers.Editing().ClearBindings(layer, keys));
}

bool KVKeyCommands::pushKeys(const std::vector<unsigned>& keys) {
    const auto layer = editableLayer();
    return layer && announce(m_services.layers.Editing().PushBindings(layer, keys));
}

bool KVKeyCommands::swapKeys(unsigned source, unsigned target) {
    if (!canSwap(source, target))
        return false;
    const auto layer = editableLayer();
    return announce(m_services.layers.Editing().SwapBindings(layer, source, layer, target));
}

bool KVKeyCommands::pasteKey(unsigned source, unsigned target) {
    if (!canPaste(source, target))
        return false;
    const auto layer = editableLayer();
    // A copy: the source may live in the very table the paste writes into.
    const KVKeyBinding binding = *shownBinding(m_services.layers, *layer, source);
    return announce(m_services.layers.Editing().CopyBinding(binding, layer, target));
}

bool KVKeyCommands::announce(bool changed) {
    if (changed) {
        m_services.dispatch.send<KVM_KEYS_EDITED>();
        m_services.dispatch.send<KVM_KEY_SELECTION_CHANGED>();
    }
    return changed;
}

namespace {

QAction* addItem(QMenu& menu, const char* label, bool enabled) {
    QAction* action = menu.addAction(text(label));
    action->setEnabled(enabled);
    return action;
}

// Shows the menu with `active` highlighted, so that Enter chooses it at once.
QAction* execWith(QMenu& menu, const QPoint& where, QAction* active) {
    if (!active)
        return menu.exec(where);
    QObject::connect(&menu, &QMenu::aboutToShow, &menu, [&menu, active] { menu.setActiveAction(active); });
    return menu.exec(where, active);
}

} // namespace

KVDropChoice runDropMenu(QWidget* parent, const QPoint& where, bool canSwap, bool canPaste) {
    QMenu menu(parent);
    menu.setObjectName(QStringLiteral("dropMenu"));
    menu.setAccessibleName(text("Drop"));
    QAction* swap = addItem(menu, "Swap", canSwap);
    QAction* paste = addItem(menu, "Paste", canPaste);
    menu.addSeparator();
    addItem(menu, "Partial...", false);
    menu.addSeparator();
    QAction* cancel = addItem(menu, "Cancel", true);
    QAction* chosen = execWith(menu, where, canSwap ? swap : canPaste ? paste : cancel);
    if (chosen == swap)
        return KVDropChoice::Swap;
    if (chosen == paste)
        return KVDropChoice::Paste;
    return KVDropChoice::Cancel;
}

KVKeyMenuChoice runKeyMenu(QWidget* parent, const QPoint& where, bool canDefine, bool canDelete,
                           bool canPush) {
    QMenu menu(parent);
    menu.setObjectName(QStringLiteral("keyMenu"));
    menu.setAccessibleName(text("Key"));
    QAction* define = addItem(menu, "Define", canDefine);
    menu.addSeparator();
    QAction* remove = addItem(menu, "Delete", canDelete);
    menu.addSeparator();
    QAction* push = addItem(menu, "Push", canPush);
    QAction* first = canDefine ? define : canDelete ? remove : canPush ? push : nullptr;
    QAction* chosen = execWith(menu, where, first);
    if (chosen == define)
        return KVKeyMenuChoice::Define;
    if (chosen == remove)
        return KVKeyMenuChoice::Delete;
    if (chosen == push)
        return KVKeyMenuChoice::Push;
    return KVKeyMenuChoice::None;
}
