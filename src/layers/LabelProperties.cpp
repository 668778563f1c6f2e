#include "layers/LabelProperties.h"

#include "images/KVTextRenderer.h"
#include "layers/KeyBinding.h"
#include "store/PropertyNode.h"

#include <array>
#include <string>

namespace corvane::layers {
namespace {

constexpr std::array kLabelKeys = {"FontFace", "FontSize", "Bold", "Italic", "Color", "BkColor"};

const char* storedBoolean(bool value) {
    return value ? "true" : "false";
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

KVPtr<KVImage> renderCaption(const KVKeyBinding& binding, KVTextRenderer& renderer) {
    if (binding.keystroke.empty())
        return nullptr;
    return renderer.RenderLabel(binding.keystroke, labelStyleOf(binding));
}

} // namespace corvane::layers
