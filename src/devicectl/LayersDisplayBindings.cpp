#include "devicectl/LayersDisplayBindings.h"

#include "layers/LayersController.h"
#include "plugins/ActionPluginInstance.h"
#include "plugins/ViewPluginInstance.h"

namespace {

KVPluginBitmap bitmapOf(const KVPtr<KVImage>& image) {
    if (!image || !image->isValid())
        return {};
    return {image->width(), image->height(), image->bitsPerPixel(), image->pixels()};
}

} // namespace

KVDeviceBinding deviceBindingOf(const KVKeyBinding& binding) {
    KVDeviceBinding result;
    result.picture = binding.image;
    result.hasViewPlugin = binding.viewPlugin != nullptr;
    if (binding.viewPlugin)
        result.viewBitmap = bitmapOf(binding.viewPlugin->KeyImage());
    result.hasActionPlugin = binding.actionPlugin != nullptr;
    result.scanCode = binding.scanCode;
    return result;
}

std::optional<KVDeviceBinding> KVLayersDisplayBindings::DisplayBinding(unsigned key) {
    const KVKeyBinding* binding = m_layers.DisplayBinding(key);
    if (!binding)
        return std::nullopt;
    return deviceBindingOf(*binding);
}

KVPluginBitmap KVLayersDisplayBindings::PublishedBitmap(KVViewPluginInstance* instance) {
    return instance ? bitmapOf(instance->KeyImage()) : KVPluginBitmap{};
}
