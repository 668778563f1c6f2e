#include "layers/LayoutLayers.h"

#include "conditions/ModifierCondition.h"
#include "conditions/SysLayoutCondition.h"
#include "core/Log.h"
#include "images/KVTextRenderer.h"
#include "layers/LabelProperties.h"
#include "layers/Layer.h"
#include "layers/LayersGroup.h"
#include "system/KeyboardLayouts.h"

#include <algorithm>

namespace {

// The layout a group is for: the layout of its first condition when that is a language condition.
std::optional<uint32_t> groupLayout(const KVLayersItem& item) {
    const auto& conditions = item.conditions();
    if (conditions.empty())
        return std::nullopt;
    if (auto language = std::dynamic_pointer_cast<KVSysLayoutCondition>(conditions.front()))
        return language->Layout();
    return std::nullopt;
}

// An item that leaves the cake stops its conditions and those of everything below it.
void stopAll(KVLayersItem& item) {
    for (const auto& child : item.children())
        stopAll(*child);
    corvane::stopConditions(item.conditions());
}

bool sameCaptions(const KVLayer& layer, const KVLabelLayer& labels) {
    for (std::size_t key = 0; key < KVLabelLayer::kKeyCount; ++key)
        if (layer.binding(static_cast<unsigned>(key)).keystroke != labels.labels[key])
            return false;
    return true;
}

} // namespace

KVLayoutLayers::KVLayoutLayers(const KVKeyboardLayouts& layouts, KVTextRenderer& renderer,
                               KVPtr<const KVConditionEnvironment> environment)
    : m_layouts(layouts), m_renderer(renderer), m_environment(std::move(environment)) {}

KVPtr<KVLayer> KVLayoutLayers::makeLayer(const KVLabelLayer& labels) const {
    auto layer = std::make_shared<KVLayer>();
    layer->setIdentifier(labels.identifier);
    layer->setDisplayName(labels.title);
    layer->setFlag(KV_ITEM_BUILT_IN, true);
    for (std::size_t key = 0; key < KVLabelLayer::kKeyCount; ++key) {
        const auto& text = labels.labels[key];
        if (text.empty())
            continue;
        auto& binding = layer->binding(static_cast<unsigned>(key));
        binding.keystroke = text;
        binding.scanCode = corvane::labelKeyCode(key);
        binding.actionCode = corvane::labelActionCode(key);
        binding.image = m_renderer.RenderPlainLabel(text);
        if (binding.image)
            binding.image->setChanged(true); // made here, so the next save stores it in the profile
        else
            corvane::logger("layers").warn("layer {}: caption \"{}\" could not be drawn", labels.identifier,
                                           text);
    }
    if (labels.modifierCondition)
        corvane::addCondition(layer->conditions(), std::make_shared<KVModifierCondition>(
                                                       m_environment, *labels.modifierCondition));
    if (labels.lockCondition)
        corvane::addCondition(layer->conditions(),
                              std::make_shared<KVLockCondition>(m_environment, *labels.lockCondition));
    return layer;
}

void KVLayoutLayers::FillLayoutGroup(uint32_t layout, KVLayersGroup& group) const {
    const auto name = m_layouts.XkbName(layout);
    const uint16_t language = static_cast<uint16_t>(layout & 0xFFFF);
    if (!name)
        corvane::logger("layers").warn("keyboard layout {}: no XKB layout has this identifier",
                                       corvane::layoutText(layout));
    const auto layers =
        corvane::layoutLabelLayers(name.value_or(KVXkbLayoutName{}), m_layouts.LanguageAbbreviation(language),
                                   m_layouts.DecimalSeparator(language));
    for (const auto& labels : layers) {
        const bool numLayer = &labels == &layers.back();
        const bool duplicate =
            std::any_of(group.children().begin(), group.children().end(), [&](const auto& child) {
                const auto* layer = dynamic_cast<const KVLayer*>(child.get());
                return layer && sameCaptions(*layer, labels);
            });
        if (duplicate && !numLayer)
            continue;
        group.items().insert(group.children().size(), makeLayer(labels));
    }
}

KVPtr<KVLayersGroup> KVLayoutLayers::CreateLayoutGroup(uint32_t layout) const {
    auto group = std::make_shared<KVLayersGroup>();
    group->setIdentifier(corvane::layoutText(layout));
    group->setDisplayName(m_layouts.LayerTitle(layout));
    corvane::addCondition(group->conditions(), std::make_shared<KVSysLayoutCondition>(m_environment, layout));
    FillLayoutGroup(layout, *group);
    return group;
}

void KVLayoutLayers::RebuildLayoutGroups(KVLayersGroup& systemLayers) const {
    auto& items = systemLayers.items();
    // Groups of layouts no longer installed go; their conditions stop once they are out.
    const auto installed = m_layouts.InstalledLayouts();
    std::vector<KVPtr<KVLayersItem>> leaving;
    for (const auto& child : items) {
        const auto layout = groupLayout(*child);
        if (layout && std::find(installed.begin(), installed.end(), *layout) == installed.end())
            leaving.push_back(child);
    }
    KVLayerCake::rebuildLayoutGroups(systemLayers, installed, [&](uint32_t layout) {
        auto group = CreateLayoutGroup(layout);
        corvane::layers::restoreLabelStyles(*group, systemLayers, m_renderer);
        return group;
    });
    for (const auto& child : leaving)
        if (!items.find(child->identifier())) {
            if (child->isGroup())
                corvane::layers::rememberLabelStyles(static_cast<const KVLayersGroup&>(*child), systemLayers);
            stopAll(*child);
        }

    // The control keys' captions come after every layout's.
    if (auto control = items.find(KVLayerCake::kControlButtonsId);
        control && items.items().back() != control) {
        items.remove(control);
        items.insert(items.size(), control);
    }
}

KVLayerCake::LayoutGroupsBuilder KVLayoutLayers::builder() const {
    return [this](KVLayersGroup& systemLayers) { RebuildLayoutGroups(systemLayers); };
}
