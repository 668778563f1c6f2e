#pragma once

#include "core/KVPtr.h"
#include "images/KVCanvas.h"
#include "images/KVImage.h"
#include "images/KVLabelStyle.h"

#include <memory>
#include <string>
#include <string_view>

// The editor's key decorations, by the numbers the program has always used for them.
enum class EditorPicture { Selection = 147, Hot = 148, Focus = 149, PluginBadge = 161 };

// Draws key captions into 48 x 48 key pictures with Pango and Cairo: centred both ways, wrapped at word
// boundaries (inside a word when it is wider than the key), clipped, anti-aliased, sizes in points at
// 96 dpi. One canvas and one font serve every label; the font is made anew only when face, size or
// style change. A family that is not installed is drawn in the generic sans-serif family.
// Not thread-safe: the user-interface thread renders.
class KVTextRenderer {
public:
    KVTextRenderer();
    ~KVTextRenderer();
    KVTextRenderer(const KVTextRenderer&) = delete;
    KVTextRenderer& operator=(const KVTextRenderer&) = delete;

    // The label in the given style; empty when the text is empty or drawing fails.
    KVPtr<KVImage> RenderLabel(std::string_view text, const KVLabelStyle& style);
    // The label in the style its properties give; any dictionary with `hasChildren()` and
    // `childValue(key, fallback)` serves (the binding's property node). Without properties: the defaults.
    template <class Dictionary>
    KVPtr<KVImage> RenderLabel(std::string_view text, const KVPtr<Dictionary>& properties) {
        if (!properties)
            return RenderLabel(text, KVLabelStyle{});
        return RenderLabel(text, KVLabelStyle::read(
                                     [&](std::string_view key, std::string_view fallback) {
                                         return std::string(properties->childValue(key, fallback));
                                     },
                                     properties->hasChildren()));
    }
    // Captions from the keyboard layout: "Tahoma" 28 points, regular, white on black.
    KVPtr<KVImage> RenderPlainLabel(std::string_view text);

    // A decoration drawn on black in a canvas of its own size (24 x 24 for the badge, 48 x 48 else).
    const KVCanvas& editorPicture(EditorPicture which) const;

    // The family the current font draws in (after any fallback), and how many fonts were made so far.
    const std::string& currentFamily() const;
    int fontsMade() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};
