#pragma once

#include "core/KVPtr.h"
#include "images/KVLabelStyle.h"

#include <optional>

class KVImage;
class KVLayersGroup;
class KVLayersItem;
class KVPropertyNode;
class KVTextRenderer;
struct KVKeyBinding;

// The label style of a caption lives in its binding's properties ("FontFace", "FontSize", "Bold",
// "Italic", "Color", "BkColor"), next to whatever else the properties hold.
namespace corvane::layers {

// The style the binding's properties give; the defaults without any.
KVLabelStyle labelStyleOf(const KVKeyBinding& binding);
// `properties` (may be empty) with the label keys set to `style`, or taken out when there is none; other
// entries stay. Always a tree of its own, as the old one belongs to the edit history. Empty when nothing
// is left in it.
KVPtr<KVPropertyNode> withLabelStyle(const KVPtr<KVPropertyNode>& properties,
                                     const std::optional<KVLabelStyle>& style);
// Whether both hold the same label keys with the same texts (other entries aside).
bool sameLabelProperties(const KVPtr<KVPropertyNode>& a, const KVPtr<KVPropertyNode>& b);
// The binding's caption drawn in the style of its properties; empty when it has no text.
KVPtr<KVImage> renderCaption(const KVKeyBinding& binding, KVTextRenderer& renderer);

// The caption layers of a keyboard layout are made anew when the layout comes back after its group went
// (uninstalled, or missing at one start). Before the group goes, the looks the user gave its captions are
// kept in the properties of `keeper` (the system layers, which are stored with the profile), by group,
// layer and key; the group made again takes them back and they are forgotten there.
void rememberLabelStyles(const KVLayersGroup& group, KVLayersItem& keeper);
void restoreLabelStyles(KVLayersGroup& group, KVLayersItem& keeper, KVTextRenderer& renderer);

} // namespace corvane::layers
