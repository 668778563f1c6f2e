#pragma once

#include "devicectl/DeviceBinding.h"

class KVLayersController;

// The layers controller's display composition (the layers shown for editing, then the active ones) as
// the device controller reads it.
class KVLayersDisplayBindings final : public IKVDisplayBindings {
public:
    explicit KVLayersDisplayBindings(const KVLayersController& layers) : m_layers(layers) {}

    std::optional<KVDeviceBinding> DisplayBinding(unsigned key) override;
    KVPluginBitmap PublishedBitmap(KVViewPluginInstance* instance) override;

private:
    const KVLayersController& m_layers;
};
