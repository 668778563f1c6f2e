#pragma once

#include "core/KVPtr.h"

#include <cstdint>
#include <string>
#include <string_view>

class KVImage;
class KVPropertyNode;
class KVPluginInstanceFactory;
class KVViewPluginInstance;
class KVActionPluginInstance;

// What one key of one layer shows and does.
struct KVKeyBinding {
    KVPtr<KVPropertyNode> properties; // free-form ("Properties"); the label style of a caption
    uint8_t scanCode = 0;             // the code the key sends instead of its own; 0 = its default
    std::string keystroke;            // keystroke text (a caption's text); empty = none
    uint8_t actionCode = 0;           // kept with the binding; does not make it set
    KVPtr<KVImage> image;
    KVPtr<KVViewPluginInstance> viewPlugin;
    KVPtr<KVActionPluginInstance> actionPlugin;

    // Set bindings take part in composition and are stored; the action code alone does not count.
    bool isSet() const { return image || scanCode != 0 || !keystroke.empty() || viewPlugin || actionPlugin; }

    // Fills the binding from its "Buttons" entry. Missing numbers read as 0; "ScanCode" keeps its low
    // 8 bits.
    void load(const KVPropertyNode& entry, unsigned keyIndex, KVPluginInstanceFactory* plugins);
    // Adds the entry `keyName` to `buttons` when the binding is set; its picture rides on an "Image"
    // child that the layer writer stores as <keyName>.png.
    void save(KVPropertyNode& buttons, std::string_view keyName) const;

    void activatePlugins();
    void deactivatePlugins();

    // What the key shows: a drawing view plug-in's picture, else the binding's own picture (may be
    // empty).
    const KVPtr<KVImage>& displayImage() const;
};
