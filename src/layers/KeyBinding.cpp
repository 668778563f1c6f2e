#include "layers/KeyBinding.h"

#include "core/StoredNumbers.h"
#include "layers/PluginInstance.h"
#include "store/PropertyNode.h"

#include <fmt/format.h>

namespace {

template <class Instance>
KVPtr<Instance> loadInstance(const KVPropertyNode& entry, const char* key, unsigned keyIndex,
                             KVPluginObjectFactory* plugins) {
    const auto dictionary = entry.findChild(key);
    if (!dictionary)
        return nullptr;
    auto instance = std::make_shared<Instance>(keyIndex, plugins);
    instance->Load(*dictionary);
    return instance;
}

} // namespace

void KVKeyBinding::load(const KVPropertyNode& entry, unsigned keyIndex, KVPluginObjectFactory* plugins) {
    viewPlugin = loadInstance<KVViewPluginInstance>(entry, "ViewPlugin", keyIndex, plugins);
    actionPlugin = loadInstance<KVActionPluginInstance>(entry, "ActionPlugin", keyIndex, plugins);
    image = entry.childImage("Image");
    scanCode =
        static_cast<uint8_t>(corvane::readStoredDecimal(entry.childValue("ScanCode")).value_or(0) & 0xFF);
    // An action code is a byte; a stored value that does not fit is not one.
    const auto action = corvane::readStoredDecimal(entry.childValue("ActionCode")).value_or(0);
    actionCode = action <= 0xFF ? static_cast<uint8_t>(action) : 0;
    keystroke = entry.childValue("Keystroke");
    properties = entry.findChild("Properties");
}

void KVKeyBinding::save(KVPropertyNode& buttons, std::string_view keyName) const {
    if (!isSet())
        return;
    auto entry = buttons.addChild(std::string(keyName));
    if (viewPlugin)
        viewPlugin->Save(*entry->addChild("ViewPlugin"));
    if (actionPlugin)
        actionPlugin->Save(*entry->addChild("ActionPlugin"));
    if (!keystroke.empty())
        entry->addChild("Keystroke", keystroke);
    if (scanCode != 0)
        entry->addChild("ScanCode", fmt::format("{:03d}", scanCode));
    if (actionCode != 0)
        entry->addChild("ActionCode", std::to_string(actionCode));
    if (properties) {
        auto stored = properties;
        if (stored->name() != "Properties") {
            stored = properties->copy();
            stored->setName("Properties");
        }
        entry->setChild(stored);
    }
    if (image)
        entry->addChild("Image", std::string(keyName), image);
}

void KVKeyBinding::activatePlugins() {
    if (viewPlugin)
        viewPlugin->Activate();
    if (actionPlugin)
        actionPlugin->Activate();
}

void KVKeyBinding::deactivatePlugins() {
    if (viewPlugin)
        viewPlugin->Deactivate();
    if (actionPlugin)
        actionPlugin->Deactivate();
}

const KVPtr<KVImage>& KVKeyBinding::displayImage() const {
    if (viewPlugin && viewPlugin->IsDrawing())
        return viewPlugin->KeyImage();
    return image;
}
