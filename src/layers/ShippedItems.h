#pragma once

#include "images/KVLabelStyle.h"
#include "layers/Layer.h"
#include "layers/LayersGroup.h"

class KVTextRenderer;

// The items the program ships in its folder, built from the key table with our own label renderer:
//
//   default_buttons               a layer naming the programmable keys L1...L10
//   control_buttons               a group:
//     control_buttons_caps_lock     the Caps key lit while Caps Lock is on (a lock condition)
//     control_buttons_num_lock      the Num key lit and the keypad's digits while Num Lock is on
//     control_buttons_scroll_lock   the Scroll key lit while Scroll Lock is on
//     control_buttons_keys          captions for every key that carries no character, and the keypad's
//                                   keys as they act without Num Lock
//
// Each caption is the binding's keystroke text, its picture, and its label style in the binding's
// properties, so the editor can restyle it; no binding changes what a key sends.
namespace corvane::layers {

inline constexpr const char* kControlButtonsKeysId = "control_buttons_keys";

KVPtr<KVLayer> makeDefaultButtons(KVTextRenderer& renderer);
KVPtr<KVLayersGroup> makeControlButtons(KVTextRenderer& renderer);

// The largest size up to `maxPoints` at which `text` draws on one line inside the key with a margin; the
// picture drawn at that size is stored in `picture`.
int fitCaption(KVTextRenderer& renderer, std::string_view text, KVLabelStyle style, int maxPoints,
               KVPtr<KVImage>& picture);

} // namespace corvane::layers
