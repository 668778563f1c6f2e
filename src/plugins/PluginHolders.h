#pragma once

#include <optional>
#include <string>

class KVKeyPluginInstance;

// What an instance asks of the layer model: which layer (for a condition, layer or group) holds it, and
// the other plug-in instance of its binding. The layer model implements it, so this library does not
// depend on the layers.
class IKVPluginHolders {
public:
    struct Holder {
        std::string path; // the item's storage folder
        std::string name; // its display name
    };

    virtual ~IKVPluginHolders() = default;
    virtual std::optional<Holder> holderOf(const KVKeyPluginInstance& instance) const = 0;
    // The action instance of a view's binding, the view instance of an action's; null when none.
    virtual KVKeyPluginInstance* pairedInstance(const KVKeyPluginInstance& instance) const = 0;
};
