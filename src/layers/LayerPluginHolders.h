#pragma once

#include "plugins/PluginHolders.h"

#include <string>

class KVLayerCake;
class KVLayer;
struct KVKeyBinding;

// Answers plug-in instances which layer or group of the cake holds them and which instance shares their
// binding. The cake is searched at each question: plug-ins ask rarely, and the tree changes under edits.
class KVLayerPluginHolders final : public IKVPluginHolders {
public:
    // `layersFolder` is where the items are stored (their storage folders lie below it).
    KVLayerPluginHolders(const KVLayerCake& cake, std::string layersFolder);

    std::optional<Holder> holderOf(const KVKeyPluginInstance& instance) const override;
    KVKeyPluginInstance* pairedInstance(const KVKeyPluginInstance& instance) const override;

private:
    const KVKeyBinding* bindingOf(const KVKeyPluginInstance& instance, const KVLayer** layer) const;

    const KVLayerCake& m_cake;
    std::string m_layersFolder;
};
