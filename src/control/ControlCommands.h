#pragma once

#include "control/ControlProtocol.h"
#include "core/KVPtr.h"

#include <functional>
#include <string>

class KVLayerCake;
class KVLayersController;
class KVLayersItem;

// What a request works on: the running configurator's own services, or a profile that the tool loaded
// itself when no configurator runs.
struct KVControlServices {
    KVLayerCake& cake;
    KVLayersController& layers;
    // The keyboard's state for "status"; empty when the caller has no keyboard.
    std::function<nlohmann::json()> keyboardStatus;
    // Makes a change last: called after every request that changed the configuration.
    std::function<bool()> save;
    // Who answers: "configurator" or "profile".
    std::string answeredBy;
};

// Carries out one request. Every command answers on the loop thread before the next is read, so
// requests never interleave with each other or with the editor.
class KVControlCommands {
public:
    explicit KVControlCommands(KVControlServices services);

    KVControlAnswer execute(const KVControlRequest& request);

    // A user layer or group named by its identifier or, failing that, its display name; the error
    // says why there is none (unknown, or several items share the name).
    KVPtr<KVLayersItem> findItem(const std::string& nameOrIdentifier, std::string& error) const;

private:
    KVControlAnswer list();
    KVControlAnswer status();
    KVControlAnswer setEnabled(const std::string& item, bool enabled);
    KVControlAnswer remove(const std::string& item);
    KVControlAnswer changed(nlohmann::json data = nullptr);

    KVControlServices m_services;
};
