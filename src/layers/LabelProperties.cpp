#include "layers/LabelProperties.h"

#include "core/Log.h"
#include "images/KVImage.h"
#include "images/KVTextRenderer.h"
#include "layers/KeyBinding.h"
#include "layers/KeyNames.h"
#include "layers/Layer.h"
#include "layers/LayersGroup.h"
#include "store/PropertyNode.h"

#include <array>
#include <string>

namespace corvane::layers {
namespace {

constexpr std::array kLabelKeys = {"FontFace", "FontSize", "Bold", "Italic", "Color", "BkColor"};

constexpr const char* kKeptLooks = "CaptionLooks";

const char* storedBoolean(bool value) {
    return value ? "true" : "false";
}

KVPtr<KVPropertyNode> keptLooks(KVLayersItem& keeper, bool create) {
    auto properties = keeper.properties();
    if (!properties) {
        if (!create)
            return nullptr;
        properties = KVPropertyNode::create("Properties");
        keeper.setProperties(properties);
    }
    auto looks = properties->findChild(kKeptLooks);
    if (!looks && create)
        looks = properties->addChild(kKeptLooks);
    return looks;
}

} // namespace

KVLabelStyle labelStyleOf(const KVKeyBinding& binding) {
    const auto& properties = binding.properties;
    if (!properties)
        return KVLabelStyle{};
    return KVLabelStyle::read(
        [&](std::string_view key, std::string_view fallback) {
            return properties->childValue(key, fallback);
        },
        properties->hasChildren());
}

KVPtr<KVPropertyNode> withLabelStyle(const KVPtr<KVPropertyNode>& properties,
                                     const std::optional<KVLabelStyle>& style) {
    auto result = properties ? properties->deepCopy() : KVPropertyNode::create("Properties");
    for (const char* key : kLabelKeys)
        while (result->removeChild(key)) {
        }
    if (style) {
        result->addChild("FontFace", style->face);
        result->addChild("FontSize", std::to_string(style->size));
        result->addChild("Bold", storedBoolean(style->bold));
        result->addChild("Italic", storedBoolean(style->italic));
        result->addChild("Color", std::to_string(style->color & 0xFFFFFFu));
        result->addChild("BkColor", std::to_string(style->bkColor & 0xFFFFFFu));
    }
    if (!result->hasChildren() && result->value().empty())
        return nullptr;
    return result;
}

bool sameLabelProperties(const KVPtr<KVPropertyNode>& a, const KVPtr<KVPropertyNode>& b) {
    for (const char* key : kLabelKeys) {
        const auto left = a ? a->findChild(key) : nullptr;
        const auto right = b ? b->findChild(key) : nullptr;
        if (bool(left) != bool(right) || (left && left->value() != right->value()))
            return false;
    }
    return true;
}

KVPtr<KVImage> renderCaption(const KVKeyBinding& binding, KVTextRenderer& renderer) {
    if (binding.keystroke.empty())
        return nullptr;
    return renderer.RenderLabel(binding.keystroke, labelStyleOf(binding));
}

void rememberLabelStyles(const KVLayersGroup& group, KVLayersItem& keeper) {
    auto kept = KVPropertyNode::create(group.identifier());
    for (const auto& child : group.children()) {
        const auto* layer = dynamic_cast<const KVLayer*>(child.get());
        if (!layer)
            continue;
        KVPtr<KVPropertyNode> keys;
        for (unsigned key = 0; key < kLayerKeyCount; ++key) {
            const auto& properties = layer->binding(key).properties;
            if (!properties || !properties->hasChildren())
                continue;
            if (!keys)
                keys = kept->addChild(layer->identifier());
            auto look = properties->deepCopy();
            look->setName(std::string(keyName(key)));
            keys->appendNewChild(look);
        }
    }
    if (kept->hasChildren())
        keptLooks(keeper, true)->setChild(kept);
}

void restoreLabelStyles(KVLayersGroup& group, KVLayersItem& keeper, KVTextRenderer& renderer) {
    const auto looks = keptLooks(keeper, false);
    const auto kept = looks ? looks->findChild(group.identifier()) : nullptr;
    if (!kept)
        return;
    for (const auto& child : group.children()) {
        auto* layer = dynamic_cast<KVLayer*>(child.get());
        const auto keys = layer ? kept->findChild(layer->identifier()) : nullptr;
        if (!keys)
            continue;
        for (const auto& look : keys->children()) {
            const auto key = matchKeyName(look->name());
            if (!key || layer->binding(*key).keystroke.empty())
                continue;
            auto& binding = layer->binding(*key);
            auto properties = look->deepCopy();
            properties->setName("Properties");
            binding.properties = properties;
            if (auto picture = renderCaption(binding, renderer)) {
                picture->setChanged(true);
                binding.image = std::move(picture);
            }
        }
    }
    corvane::logger("layers").info("keyboard layout group \"{}\" takes back the looks of its captions",
                                   group.identifier());
    looks->removeChild(group.identifier());
    if (!looks->hasChildren())
        keeper.properties()->removeChild(kKeptLooks);
}

} // namespace corvane::layers
