#include "layers/LayerEditing.h"

#include "conditions/ConditionEdit.h"
#include "conditions/ModifierMask.h"
#include "core/Guid.h"
#include "core/Log.h"
#include "images/KVImage.h"
#include "layers/LabelProperties.h"
#include "layers/LayerCake.h"
#include "layers/LayerEditCommands.h"
#include "layers/LayerEvaluation.h"
#include "plugins/ActionPluginInstance.h"
#include "plugins/ViewPluginInstance.h"

#include <algorithm>
#include <fmt/format.h>

using namespace corvane::layers;

namespace {

std::string itemText(const char* verb, const KVLayersItem& item) {
    return fmt::format("{} {} {}", verb, item.isGroup() ? "group" : "layer", item.displayName());
}

std::string keysText(const char* verb, std::span<const unsigned> keys) {
    if (keys.size() == 1)
        return fmt::format("{} {}", verb, keyName(keys.front()));
    return fmt::format("{} {} keys", verb, keys.size());
}

// Index just after `after` in `list`: the front when `after` is empty, the end when it is not there.
size_t indexAfter(const KVLayerCakeItemsStorage& list, const KVPtr<KVLayersItem>& after) {
    if (!after)
        return 0;
    const auto& items = list.items();
    const auto found = std::find(items.begin(), items.end(), after);
    return found == items.end() ? items.size() : static_cast<size_t>(found - items.begin()) + 1;
}

// The item whose condition is edited, for the edit rule; the item need not be the editor's current one,
// since an undo may reach back to another.
class ItemConditionEditHost final : public IKVConditionEditHost {
public:
    ItemConditionEditHost(const KVPtr<KVLayersItem>& item, IKVLayerEditHost& host)
        : m_item(item), m_host(host) {}

    bool IsItemEnabled() const override { return m_item->isEnabled(); }
    bool IsItemActive() const override { return m_item->isActive(); }
    bool IsItemShownForEditing() const override { return m_item->isShownForEditing(); }
    const KVConditionList& ItemConditions() const override { return m_item->conditions(); }
    void ReEvaluate() override { m_host.TreeChanged(false); }
    bool DeactivateItem() override { return m_host.DeactivateItem(m_item); }
    void Recompose() override { m_host.Recompose(); }

private:
    const KVPtr<KVLayersItem>& m_item;
    IKVLayerEditHost& m_host;
};

std::string conditionText(const char* verb, const KVCondition& condition, const char* preposition,
                          const KVLayersItem& item) {
    return fmt::format("{} {} condition {} {}", verb, condition.Type(), preposition, item.displayName());
}

} // namespace

KVLayerEditing::KVLayerEditing(KVLayerCake& cake, IKVLayerEditHost& host) : m_cake(cake), m_host(host) {}

// ---- the tree ----

std::optional<KVItemPlace> KVLayerEditing::placeOf(const KVLayersItem& item) const {
    const auto path = pathTo(m_cake.items(), &item);
    if (path.empty())
        return std::nullopt;
    KVItemPlace place;
    if (path.size() >= 2)
        place.parent = std::static_pointer_cast<KVLayersGroup>(path[path.size() - 2]);
    const auto& items = place.parent ? place.parent->children().items() : m_cake.items().items();
    place.index = static_cast<size_t>(std::find(items.begin(), items.end(), path.back()) - items.begin());
    return place;
}

KVLayerCakeItemsStorage& KVLayerEditing::listOf(const KVPtr<KVLayersGroup>& parent) {
    return parent ? parent->items() : m_cake.items();
}

bool KVLayerEditing::isProtected(const KVLayersItem& item) const {
    if (item.hasFlag(KV_ITEM_BUILT_IN))
        return true;
    const auto path = pathTo(m_cake.items(), &item);
    return std::any_of(path.begin(), path.end(),
                       [](const auto& each) { return each->hasFlag(KV_ITEM_SYSTEM_LAYERS); });
}

bool KVLayerEditing::acceptsItems(const KVPtr<KVLayersItem>& parent) const {
    if (!parent)
        return true;
    if (!parent->isGroup()) {
        corvane::logger("layers").warn("\"{}\" is a layer; items go only into groups", parent->displayName());
        return false;
    }
    const auto path = pathTo(m_cake.items(), parent.get());
    if (path.empty()) {
        corvane::logger("layers").warn("group \"{}\" is not in the layer tree", parent->displayName());
        return false;
    }
    // The system layers are rebuilt at every start; a user's item there would be taken for a built-in one.
    if (std::any_of(path.begin(), path.end(),
                    [](const auto& each) { return each->hasFlag(KV_ITEM_SYSTEM_LAYERS); })) {
        corvane::logger("layers").warn("the system layers take no items of the user");
        return false;
    }
    return true;
}

template <class Item>
KVPtr<Item> KVLayerEditing::newItem(const KVPtr<KVLayersItem>& parent, const KVPtr<KVLayersItem>& after,
                                    const char* displayName) {
    if (!acceptsItems(parent))
        return nullptr;
    auto item = std::make_shared<Item>();
    item->setIdentifier(corvane::newGuidString());
    item->setDisplayName(displayName);
    KVItemPlace to{std::static_pointer_cast<KVLayersGroup>(parent), 0};
    to.index = indexAfter(listOf(to.parent), after);
    m_history.push(std::make_unique<KVPlaceItemCommand>(*this, displayName, item, std::nullopt, to));
    return item;
}

KVPtr<KVLayer> KVLayerEditing::NewLayer(const KVPtr<KVLayersItem>& parent, const KVPtr<KVLayersItem>& after) {
    return newItem<KVLayer>(parent, after, "New layer");
}

KVPtr<KVLayersGroup> KVLayerEditing::NewGroup(const KVPtr<KVLayersItem>& parent,
                                              const KVPtr<KVLayersItem>& after) {
    return newItem<KVLayersGroup>(parent, after, "New group");
}

bool KVLayerEditing::Insert(const KVPtr<KVLayersItem>& item, const KVPtr<KVLayersItem>& parent,
                            const KVPtr<KVLayersItem>& after) {
    if (!item || placeOf(*item) || !acceptsItems(parent))
        return false;
    KVItemPlace to{std::static_pointer_cast<KVLayersGroup>(parent), 0};
    to.index = indexAfter(listOf(to.parent), after);
    return m_history.push(
        std::make_unique<KVPlaceItemCommand>(*this, itemText("Import", *item), item, std::nullopt, to));
}

bool KVLayerEditing::Delete(const KVPtr<KVLayersItem>& item) {
    if (!item)
        return false;
    if (isProtected(*item)) {
        corvane::logger("layers").warn("\"{}\" is built in and cannot be deleted", item->displayName());
        return false;
    }
    auto from = placeOf(*item);
    if (!from) {
        corvane::logger("layers").warn("\"{}\" is not in the layer tree; nothing deleted",
                                       item->displayName());
        return false;
    }
    return m_history.push(
        std::make_unique<KVPlaceItemCommand>(*this, itemText("Delete", *item), item, from, std::nullopt));
}

bool KVLayerEditing::Move(const KVPtr<KVLayersItem>& item, const KVPtr<KVLayersItem>& newParent,
                          const KVPtr<KVLayersItem>& after) {
    if (!item || after == item)
        return false;
    if (isProtected(*item)) {
        corvane::logger("layers").warn("\"{}\" is built in and cannot be moved", item->displayName());
        return false;
    }
    const auto from = placeOf(*item);
    if (!from || !acceptsItems(newParent))
        return false;
    if (newParent && !pathTo(item->children(), newParent.get()).empty()) {
        corvane::logger("layers").warn("\"{}\" cannot go inside itself", item->displayName());
        return false;
    }
    if (newParent == item) {
        corvane::logger("layers").warn("\"{}\" cannot go inside itself", item->displayName());
        return false;
    }
    KVItemPlace to{std::static_pointer_cast<KVLayersGroup>(newParent), 0};
    // The index counts in the list as it is once the item has left it.
    auto& list = listOf(to.parent);
    to.index = indexAfter(list, after);
    if (to.parent == from->parent && after && to.index > from->index && to.index <= list.size())
        --to.index;
    if (to.parent == from->parent && to.index == from->index)
        return false;
    return m_history.push(
        std::make_unique<KVPlaceItemCommand>(*this, itemText("Move", *item), item, from, to));
}

void KVLayerEditing::place(const KVPtr<KVLayersItem>& item, const std::optional<KVItemPlace>& from,
                           const std::optional<KVItemPlace>& to) {
    if (from) {
        if (!to)
            m_host.ItemLeaving(item);
        // Something outside the history moved it; putting it in again would show it twice.
        if (!listOf(from->parent).remove(item)) {
            corvane::logger("layers").error("\"{}\" was not where the edit history had it; left alone",
                                            item->displayName());
            m_host.TreeChanged(true);
            return;
        }
    }
    if (to)
        listOf(to->parent).insert(to->index, item);
    m_host.TreeChanged(true);
}

bool KVLayerEditing::Enable(const KVPtr<KVLayersItem>& item) {
    if (!item || item->isEnabled())
        return false;
    return m_history.push(
        std::make_unique<KVEnableItemCommand>(*this, itemText("Enable", *item), item, true));
}

bool KVLayerEditing::Disable(const KVPtr<KVLayersItem>& item) {
    if (!item || !item->isEnabled())
        return false;
    return m_history.push(
        std::make_unique<KVEnableItemCommand>(*this, itemText("Disable", *item), item, false));
}

void KVLayerEditing::setEnabled(const KVPtr<KVLayersItem>& item, bool enabled) {
    item->setFlag(KV_ITEM_ENABLED, enabled);
    m_host.TreeChanged(false);
}

bool KVLayerEditing::Rename(const KVPtr<KVLayersItem>& item, const std::string& displayName) {
    if (!item || displayName == item->displayName())
        return false;
    if (isProtected(*item)) {
        corvane::logger("layers").warn("\"{}\" is built in and cannot be renamed", item->displayName());
        return false;
    }
    if (displayName.find_first_not_of(" \t\r\n") == std::string::npos) {
        corvane::logger("layers").warn("\"{}\" keeps its name: the new one is empty", item->displayName());
        return false;
    }
    return m_history.push(
        std::make_unique<KVRenameItemCommand>(itemText("Rename", *item), item, displayName));
}

// ---- the bindings ----

bool KVLayerEditing::validKey(const KVPtr<KVLayer>& layer, unsigned key) const {
    if (!layer)
        return false;
    if (key >= kLayerKeyCount) {
        corvane::logger("layers").warn("layer \"{}\" has no key {}", layer->displayName(), key);
        return false;
    }
    return true;
}

void KVLayerEditing::putBinding(KVLayer& layer, unsigned key, const KVKeyBinding& value) {
    replaceBinding(layer.binding(key), value, layer.isActive());
    m_host.BindingChanged(key);
}

bool KVLayerEditing::changeBinding(const KVPtr<KVLayer>& layer, unsigned key, const KVKeyBinding& value,
                                   std::string text) {
    std::vector<KVBindingsCommand::Change> changes{{layer, key, layer->binding(key), value}};
    return m_history.push(std::make_unique<KVBindingsCommand>(*this, std::move(text), std::move(changes)));
}

bool KVLayerEditing::CopyBinding(const KVKeyBinding& source, const KVPtr<KVLayer>& target, unsigned key,
                                 unsigned fields) {
    if (!validKey(target, key) || (fields & KV_FIELD_ALL) == 0)
        return false;
    auto value = copiedBinding(target->binding(key), source, fields, key, m_cake.loadContext().plugins);
    const char* verb = (fields & KV_FIELD_ALL) == KV_FIELD_ALL ? "Paste to" : "Partial paste to";
    return changeBinding(target, key, value, fmt::format("{} {}", verb, keyName(key)));
}

bool KVLayerEditing::SwapBindings(const KVPtr<KVLayer>& layerA, unsigned keyA, const KVPtr<KVLayer>& layerB,
                                  unsigned keyB) {
    if (!validKey(layerA, keyA) || !validKey(layerB, keyB) || (layerA == layerB && keyA == keyB))
        return false;
    auto* plugins = m_cake.loadContext().plugins;
    const auto& a = layerA->binding(keyA);
    const auto& b = layerB->binding(keyB);
    // Each side gets copies made for its own key; the old contents stay untouched for the undo.
    std::vector<KVBindingsCommand::Change> changes{
        {layerA, keyA, a, copiedBinding(a, b, KV_FIELD_ALL, keyA, plugins)},
        {layerB, keyB, b, copiedBinding(b, a, KV_FIELD_ALL, keyB, plugins)},
    };
    return m_history.push(std::make_unique<KVBindingsCommand>(
        *this, fmt::format("Swap {} and {}", keyName(keyA), keyName(keyB)), std::move(changes)));
}

bool KVLayerEditing::ClearBinding(const KVPtr<KVLayer>& layer, unsigned key) {
    if (!validKey(layer, key))
        return false;
    const unsigned keys[] = {key};
    return changeBinding(layer, key, KVKeyBinding{}, keysText("Clear", keys));
}

bool KVLayerEditing::PushBinding(const KVPtr<KVLayer>& layer, unsigned key) {
    if (!validKey(layer, key))
        return false;
    const auto* shown = m_host.BindingBesides(*layer, key);
    if (!shown)
        return false;
    const unsigned keys[] = {key};
    auto value = copiedBinding(layer->binding(key), *shown, KV_FIELD_ALL, key, m_cake.loadContext().plugins);
    return changeBinding(layer, key, value, keysText("Push", keys));
}

bool KVLayerEditing::ClearBindings(const KVPtr<KVLayer>& layer, std::span<const unsigned> keys) {
    bool changed = false;
    m_history.beginMacro(keysText("Clear", keys));
    for (const unsigned key : keys)
        changed = ClearBinding(layer, key) || changed;
    m_history.endMacro();
    return changed;
}

bool KVLayerEditing::PushBindings(const KVPtr<KVLayer>& layer, std::span<const unsigned> keys) {
    bool changed = false;
    m_history.beginMacro(keysText("Push", keys));
    for (const unsigned key : keys)
        changed = PushBinding(layer, key) || changed;
    m_history.endMacro();
    return changed;
}

bool KVLayerEditing::SetKeyImage(const KVPtr<KVLayer>& layer, unsigned key, KVPtr<KVImage> image) {
    if (!validKey(layer, key))
        return false;
    // A picture the editor sets is written into the layer's folder at the next save.
    if (image)
        image->setChanged(true);
    auto value = layer->binding(key);
    value.image = std::move(image);
    return changeBinding(layer, key, value, fmt::format("Set picture of {}", keyName(key)));
}

bool KVLayerEditing::SetKeyCode(const KVPtr<KVLayer>& layer, unsigned key, uint8_t scanCode,
                                uint8_t actionCode) {
    if (!validKey(layer, key))
        return false;
    auto value = layer->binding(key);
    value.actionPlugin.reset();
    value.scanCode = scanCode;
    value.actionCode = actionCode;
    return changeBinding(layer, key, value, fmt::format("Set key code of {}", keyName(key)));
}

bool KVLayerEditing::SetViewPlugin(const KVPtr<KVLayer>& layer, unsigned key, const std::string& pluginId,
                                   const std::string& subPluginId) {
    if (!validKey(layer, key))
        return false;
    auto value = layer->binding(key);
    value.viewPlugin = newViewPlugin(key, m_cake.loadContext().plugins, pluginId, subPluginId);
    return changeBinding(layer, key, value, fmt::format("Set display of {}", keyName(key)));
}

bool KVLayerEditing::SetActionPlugin(const KVPtr<KVLayer>& layer, unsigned key, const std::string& pluginId,
                                     const std::string& subPluginId) {
    if (!validKey(layer, key))
        return false;
    auto value = layer->binding(key);
    value.actionPlugin = newActionPlugin(key, m_cake.loadContext().plugins, pluginId, subPluginId);
    return changeBinding(layer, key, value, fmt::format("Set action of {}", keyName(key)));
}

bool KVLayerEditing::SetPluginSetting(const KVPtr<KVLayer>& layer, unsigned key, KVSubPluginKind kind,
                                      const KVPluginSettingValue& setting) {
    if (!validKey(layer, key) || setting.key.empty())
        return false;
    const auto& binding = layer->binding(key);
    const KVKeyPluginInstance* instance = nullptr;
    if (kind == KVSubPluginKind::View)
        instance = binding.viewPlugin.get();
    else if (kind == KVSubPluginKind::Action)
        instance = binding.actionPlugin.get();
    if (!instance) {
        corvane::logger("layers").warn("{} has no plug-in whose \"{}\" could be set", keyName(key),
                                       setting.key);
        return false;
    }
    if (instance->Setting(setting.key) == setting.value)
        return false;
    auto value = withPluginSetting(binding, kind, setting, key, m_cake.loadContext().plugins);
    return changeBinding(layer, key, value, fmt::format("Set {} of {}", setting.key, keyName(key)));
}

bool KVLayerEditing::SetLabelProperties(const KVPtr<KVLayer>& layer, std::span<const unsigned> keys,
                                        const std::optional<KVLabelStyle>& style, KVTextRenderer& renderer) {
    std::vector<KVBindingsCommand::Change> changes;
    std::vector<unsigned> changed;
    for (const unsigned key : keys) {
        if (!validKey(layer, key) || layer->binding(key).keystroke.empty())
            continue;
        const auto& before = layer->binding(key);
        auto after = before;
        after.properties = withLabelStyle(before.properties, style);
        if (sameLabelProperties(before.properties, after.properties))
            continue;
        after.image = renderCaption(after, renderer);
        if (!after.image) {
            corvane::logger("layers").error("layer \"{}\": the caption of {} could not be drawn",
                                            layer->displayName(), keyName(key));
            continue;
        }
        // Drawn here, so the next save writes it into the layer's folder.
        after.image->setChanged(true);
        changes.push_back({layer, key, before, std::move(after)});
        changed.push_back(key);
    }
    if (changes.empty())
        return false;
    const char* verb = style ? "Set label style of" : "Reset label style of";
    return m_history.push(
        std::make_unique<KVBindingsCommand>(*this, keysText(verb, changed), std::move(changes)));
}

// ---- the conditions ----

bool KVLayerEditing::conditionsEditable(const KVPtr<KVLayersItem>& item) const {
    if (!item)
        return false;
    const auto path = pathTo(m_cake.items(), item.get());
    return !path.empty() && std::none_of(path.begin(), path.end(), [](const auto& each) {
        return each->hasFlag(KV_ITEM_SYSTEM_LAYERS);
    });
}

bool KVLayerEditing::editableItem(const KVPtr<KVLayersItem>& item) const {
    if (!item)
        return false;
    if (conditionsEditable(item))
        return true;
    if (pathTo(m_cake.items(), item.get()).empty())
        corvane::logger("layers").warn("\"{}\" is not in the layer tree; its conditions stay",
                                       item->displayName());
    else
        corvane::logger("layers").warn("the conditions of the system layers are made at every start; \"{}\" "
                                       "keeps its own",
                                       item->displayName());
    return false;
}

bool KVLayerEditing::editableCondition(const KVPtr<KVLayersItem>& item,
                                       const KVPtr<KVCondition>& condition) const {
    if (!condition || !editableItem(item))
        return false;
    const auto& list = item->conditions();
    if (std::find(list.begin(), list.end(), condition) == list.end()) {
        corvane::logger("layers").warn("the {} condition is not one of \"{}\"", condition->Type(),
                                       item->displayName());
        return false;
    }
    return true;
}

bool KVLayerEditing::AddCondition(const KVPtr<KVLayersItem>& item, KVPtr<KVCondition> condition) {
    if (!condition || !editableItem(item))
        return false;
    const auto& list = item->conditions();
    if (std::find(list.begin(), list.end(), condition) != list.end())
        return false;
    auto text = conditionText("Add", *condition, "to", *item);
    return m_history.push(std::make_unique<KVConditionPlaceCommand>(*this, std::move(text), item, condition,
                                                                    list.size(), true));
}

bool KVLayerEditing::RemoveCondition(const KVPtr<KVLayersItem>& item, const KVPtr<KVCondition>& condition) {
    if (!editableCondition(item, condition))
        return false;
    const auto& list = item->conditions();
    const auto index = static_cast<size_t>(std::find(list.begin(), list.end(), condition) - list.begin());
    auto text = conditionText("Remove", *condition, "from", *item);
    return m_history.push(
        std::make_unique<KVConditionPlaceCommand>(*this, std::move(text), item, condition, index, false));
}

template <class T, class P>
bool KVLayerEditing::changeCondition(const KVPtr<KVLayersItem>& item, const KVPtr<T>& condition,
                                     void (T::*setter)(P), std::remove_cvref_t<P> before,
                                     std::remove_cvref_t<P> after) {
    if (before == after || !editableCondition(item, condition))
        return false;
    auto forward = std::make_unique<KVSingleParamOperation<T, P>>(condition, setter, std::move(after));
    auto backward = std::make_unique<KVSingleParamOperation<T, P>>(condition, setter, std::move(before));
    auto text = conditionText("Change", *condition, "of", *item);
    return m_history.push(std::make_unique<KVConditionEditCommand>(*this, std::move(text), item, condition,
                                                                   std::move(forward), std::move(backward)));
}

bool KVLayerEditing::SetConditionMask(const KVPtr<KVLayersItem>& item,
                                      const KVPtr<KVModifierCondition>& condition, uint32_t mask) {
    // The condition keeps only the bits it can store; comparing those tells whether anything changes.
    return condition && changeCondition(item, condition, &KVModifierCondition::SetMask, condition->Mask(),
                                        mask & corvane::kModifierMaskBits);
}

bool KVLayerEditing::SetConditionLayout(const KVPtr<KVLayersItem>& item,
                                        const KVPtr<KVSysLayoutCondition>& condition, uint32_t layout) {
    return condition &&
           changeCondition(item, condition, &KVSysLayoutCondition::SetLayout, condition->Layout(), layout);
}

bool KVLayerEditing::SetConditionApplication(const KVPtr<KVLayersItem>& item,
                                             const KVPtr<KVApplicationCondition>& condition,
                                             const std::string& id) {
    if (id.empty()) {
        corvane::logger("layers").warn("an application condition needs an application; nothing changed");
        return false;
    }
    return condition && changeCondition(item, condition, &KVApplicationCondition::SetApplicationId,
                                        condition->ApplicationId(), id);
}

bool KVLayerEditing::SetConditionForeground(const KVPtr<KVLayersItem>& item,
                                            const KVPtr<KVApplicationCondition>& condition, bool foreground) {
    return condition && changeCondition(item, condition, &KVApplicationCondition::SetForeground,
                                        condition->Foreground(), foreground);
}

bool KVLayerEditing::SetConditionSetting(const KVPtr<KVLayersItem>& item,
                                         const KVPtr<KVConditionPluginInstance>& condition,
                                         const KVPluginSettingValue& setting) {
    return condition && !setting.key.empty() &&
           changeCondition(item, condition, &KVConditionPluginInstance::ChangeSetting,
                           KVPluginSettingValue{setting.key, condition->Setting(setting.key)}, setting);
}

void KVLayerEditing::putCondition(const KVPtr<KVLayersItem>& item, const KVPtr<KVCondition>& condition,
                                  std::optional<size_t> index) {
    auto& list = item->conditions();
    if (index) {
        // Back in its old place, so an undone removal looks as it did.
        list.insert(list.begin() + static_cast<std::ptrdiff_t>(std::min(*index, list.size())), condition);
        condition->Start();
    } else {
        corvane::removeCondition(list, condition);
    }
    m_host.TreeChanged(false);
}

void KVLayerEditing::applyConditionEdit(const KVPtr<KVLayersItem>& item, KVCondition& condition,
                                        KVOperation& operation) {
    ItemConditionEditHost host(item, m_host);
    corvane::applyConditionEdit(host, condition, operation);
}

// ---- history ----

bool KVLayerEditing::Undo() {
    if (!m_history.undo())
        return false;
    m_host.EditsReplayed();
    return true;
}

bool KVLayerEditing::Redo() {
    if (!m_history.redo())
        return false;
    m_host.EditsReplayed();
    return true;
}
