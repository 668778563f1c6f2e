#pragma once

#include "control/ControlProtocol.h"
#include "core/KVPtr.h"

#include <functional>
#include <string>

class CKVMessageDispatch;
class KVFirmwareUpdateController;
class KVLayerCake;
class KVLayersController;
class KVLayersItem;

// What a request works on: the running configurator's own services, or a profile that the tool loaded
// itself when no configurator runs.
struct KVControlServices {
    KVLayerCake& cake;
    KVLayersController& layers;
    // Where an imported item is announced, so that an open editor rebuilds its tree.
    CKVMessageDispatch& dispatch;
    // Where archives are staged, and the program folder (the keyboard drawing of exported pictures).
    std::string temporaryFolder;
    std::string programFolder;
    // The keyboard's state for "status"; empty when the caller has no keyboard.
    std::function<nlohmann::json()> keyboardStatus;
    // Writes the keyboard files of what the keyboard shows below a folder ("dump"); empty without one.
    std::function<KVControlAnswer(const std::string& folder)> dumpKeyboard;
    // Updates and firmware; null when no configurator runs (they need the keyboard and downloads).
    KVFirmwareUpdateController* updates = nullptr;
    // Makes a change last: called after every request that changed the configuration.
    std::function<bool()> save;
    // Who answers: "configurator" or "profile".
    std::string answeredBy;
};

// The answering side of one request: zero or more progress lines, then the answer.
class KVControlReply {
public:
    // Writes one line to the requester; false once it is gone.
    using Sink = std::function<bool(std::string_view line)>;
    explicit KVControlReply(Sink sink) : m_sink(std::move(sink)) {}
    void progress(unsigned percent) const;
    void finish(const KVControlAnswer& answer) const;

private:
    Sink m_sink;
};

// Carries out requests on the loop thread. Changes go through the layers controller's undoable edits,
// so the keyboard and an open editor follow at once.
class KVControlCommands {
public:
    explicit KVControlCommands(KVControlServices services);

    // Answers at once, or later for downloads; `reply` is kept until then.
    void start(const KVControlRequest& request, KVControlReply reply);
    // The requests that answer at once (every one but the update commands).
    KVControlAnswer execute(const KVControlRequest& request);

    // A user layer or group named by its identifier or, failing that, its display name; the error
    // says why there is none (unknown, or several items share the name).
    KVPtr<KVLayersItem> findItem(const std::string& nameOrIdentifier, std::string& error) const;

private:
    KVControlAnswer list();
    KVControlAnswer status();
    KVControlAnswer setEnabled(const std::string& item, bool enabled);
    KVControlAnswer remove(const std::string& item);
    KVControlAnswer importArchive(const std::string& path);
    KVControlAnswer importPicture(const KVControlRequest& request);
    KVControlAnswer exportArchive(const std::string& item, const std::string& path);
    KVControlAnswer exportPicture(const std::string& layer, const std::string& path);
    KVControlAnswer placeNewItem(const KVPtr<KVLayersItem>& item);
    KVControlAnswer changed(nlohmann::json data = nullptr);
    void startUpdate(const KVControlRequest& request, KVControlReply reply);

    KVControlServices m_services;
};
