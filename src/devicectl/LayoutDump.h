#pragma once

#include "layers/ArchiveReader.h"

#include <filesystem>

class KVDevice;
class KVLayerCake;
class KVLayersController;

// "Tavirex Layout...": the keyboard's files for the layer stack as it stands, written below
// folder/Tavirex for a keyboard to take as they are. The "normal" set is what the keyboard shows now
// (the layers shown for editing, then the active ones); the "shift" set is the same with the lock-key
// variants of the control buttons ("control_buttons_num_lock", "control_buttons_caps_lock",
// "control_buttons_scroll_lock") in front, so the lock keys appear lit there. The key-code table follows
// the normal set.
corvane::layers::KVArchiveStatus DumpTavirexLayout(KVDevice& device, const KVLayersController& layers,
                                                   const KVLayerCake& cake,
                                                   const std::filesystem::path& folder);
