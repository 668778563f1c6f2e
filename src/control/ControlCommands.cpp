#include "control/ControlCommands.h"

#include "core/Log.h"
#include "core/MessageDispatch.h"
#include "layers/LayerArchive.h"
#include "layers/LayerCake.h"
#include "layers/LayerEditing.h"
#include "layers/LayersController.h"
#include "layers/PictureLayer.h"
#include "update/FirmwareUpdateController.h"
#include "update/UpdateCommands.h"

using nlohmann::json;

namespace {

json describe(const KVLayersItem& item) {
    json entry{{"id", item.identifier()},
               {"name", item.displayName()},
               {"kind", item.isGroup() ? "group" : "layer"},
               {"enabled", item.isEnabled()},
               {"active", item.isActive()},
               {"builtIn", item.hasFlag(KV_ITEM_BUILT_IN)}};
    if (item.isGroup()) {
        json children = json::array();
        for (const auto& child : item.children())
            children.push_back(describe(*child));
        entry["children"] = std::move(children);
    }
    return entry;
}

void collect(const KVLayerCakeItemsStorage& items,
             const std::function<void(const KVPtr<KVLayersItem>&)>& visit) {
    for (const auto& item : items) {
        visit(item);
        collect(item->children(), visit);
    }
}

KVControlAnswer fromStatus(const corvane::layers::KVArchiveStatus& status, json data = nullptr) {
    return status ? KVControlAnswer::done(std::move(data)) : KVControlAnswer::refused(status.error);
}

bool isUpdateCommand(const std::string& command) {
    return command == "update" || command == "firmware";
}

} // namespace

void KVControlReply::progress(unsigned percent) const {
    m_sink(corvane::control::encodeProgress(percent));
}

void KVControlReply::finish(const KVControlAnswer& answer) const {
    m_sink(corvane::control::encodeAnswer(answer));
}

KVControlCommands::KVControlCommands(KVControlServices services) : m_services(std::move(services)) {}

void KVControlCommands::start(const KVControlRequest& request, KVControlReply reply) {
    if (isUpdateCommand(request.command) && corvane::control::argumentCount(request.command))
        startUpdate(request, std::move(reply));
    else
        reply.finish(execute(request));
}

KVControlAnswer KVControlCommands::execute(const KVControlRequest& request) {
    const auto& command = request.command;
    const auto& args = request.arguments;
    const auto arity = corvane::control::argumentCount(command);
    KVControlAnswer answer;
    if (!arity)
        answer = KVControlAnswer::refused("unknown request \"" + command + "\"");
    else if (args.size() < arity->least || args.size() > arity->most)
        answer = KVControlAnswer::refused("wrong number of arguments for \"" + command + "\"");
    else if (command == "list")
        answer = list();
    else if (command == "status")
        answer = status();
    else if (command == "enable" || command == "disable")
        answer = setEnabled(args[0], command == "enable");
    else if (command == "delete")
        answer = remove(args[0]);
    else if (command == "import")
        answer = importArchive(args[0]);
    else if (command == "import-picture")
        answer = importPicture(request);
    else if (command == "export")
        answer = exportArchive(args[0], args[1]);
    else if (command == "export-picture")
        answer = exportPicture(args[0], args[1]);
    else if (command == "dump")
        answer = m_services.dumpKeyboard ? m_services.dumpKeyboard(args[0])
                                         : KVControlAnswer::refused("dumping the keyboard files needs the "
                                                                    "running configurator, which drives the "
                                                                    "keyboard");
    else
        answer = KVControlAnswer::refused("\"" + command + "\" needs the running configurator");
    if (!answer.ok)
        corvane::logger("control").warn("refused \"{}\": {}", request.command, answer.error);
    return answer;
}

KVPtr<KVLayersItem> KVControlCommands::findItem(const std::string& nameOrIdentifier,
                                                std::string& error) const {
    const auto userLayers = m_services.cake.userLayers();
    if (!userLayers) {
        error = "there are no user layers";
        return {};
    }
    KVPtr<KVLayersItem> byIdentifier;
    std::vector<KVPtr<KVLayersItem>> byName;
    collect(userLayers->children(), [&](const KVPtr<KVLayersItem>& item) {
        if (item->identifier() == nameOrIdentifier)
            byIdentifier = item;
        else if (item->displayName() == nameOrIdentifier)
            byName.push_back(item);
    });
    if (byIdentifier)
        return byIdentifier;
    if (byName.size() == 1)
        return byName.front();
    error = byName.empty() ? "no layer or group is called \"" + nameOrIdentifier + "\""
                           : std::to_string(byName.size()) + " items are called \"" + nameOrIdentifier +
                                 "\"; name one by its identifier";
    return {};
}

KVControlAnswer KVControlCommands::list() {
    json items = json::array();
    for (const auto& item : m_services.cake.items())
        items.push_back(describe(*item));
    return KVControlAnswer::done(json{{"items", std::move(items)}});
}

KVControlAnswer KVControlCommands::status() {
    json active = json::array();
    for (const auto& layer : m_services.layers.ActiveLayers().layers())
        active.push_back(json{{"id", layer->identifier()}, {"name", layer->displayName()}});
    json data{{"answeredBy", m_services.answeredBy}, {"activeLayers", std::move(active)}};
    data["keyboard"] = m_services.keyboardStatus ? m_services.keyboardStatus() : json{{"connected", false}};
    return KVControlAnswer::done(std::move(data));
}

KVControlAnswer KVControlCommands::setEnabled(const std::string& name, bool enabled) {
    std::string error;
    const auto item = findItem(name, error);
    if (!item)
        return KVControlAnswer::refused(error);
    auto& editing = m_services.layers.Editing();
    if (item->isEnabled() != enabled && !(enabled ? editing.Enable(item) : editing.Disable(item)))
        return KVControlAnswer::refused("\"" + item->displayName() + "\" cannot be " +
                                        (enabled ? "enabled" : "disabled"));
    return changed(describe(*item));
}

KVControlAnswer KVControlCommands::remove(const std::string& name) {
    std::string error;
    const auto item = findItem(name, error);
    if (!item)
        return KVControlAnswer::refused(error);
    if (!m_services.layers.Editing().Delete(item))
        return KVControlAnswer::refused("\"" + item->displayName() + "\" is built in and cannot be deleted");
    return changed(json{{"id", item->identifier()}, {"name", item->displayName()}});
}

KVControlAnswer KVControlCommands::placeNewItem(const KVPtr<KVLayersItem>& item) {
    if (!m_services.layers.Editing().Insert(item, m_services.cake.userLayers(), nullptr))
        return KVControlAnswer::refused("there is no group of user layers to put it in");
    return changed(describe(*item));
}

KVControlAnswer KVControlCommands::importArchive(const std::string& path) {
    const auto result = corvane::layers::openLayersFile(path, m_services.temporaryFolder, m_services.cake,
                                                        m_services.layers, m_services.dispatch);
    return result ? changed(describe(*result.item)) : KVControlAnswer::refused(result.error);
}

KVControlAnswer KVControlCommands::importPicture(const KVControlRequest& request) {
    const auto& args = request.arguments;
    std::optional<std::string> name;
    if (args.size() == 3) {
        if (args[1] != "--name")
            return KVControlAnswer::refused("import-picture takes FILE [--name NAME]");
        name = args[2];
    } else if (args.size() != 1) {
        return KVControlAnswer::refused("import-picture takes FILE [--name NAME]");
    }
    auto result = corvane::layers::importLayerPicture(args[0], name);
    if (!result)
        return KVControlAnswer::refused(result.error);
    return placeNewItem(result.layer);
}

KVControlAnswer KVControlCommands::exportArchive(const std::string& name, const std::string& path) {
    std::string error;
    const auto item = findItem(name, error);
    if (!item)
        return KVControlAnswer::refused(error);
    return fromStatus(corvane::layers::exportItem(*item, path, m_services.temporaryFolder),
                      json{{"id", item->identifier()}, {"name", item->displayName()}, {"file", path}});
}

KVControlAnswer KVControlCommands::exportPicture(const std::string& name, const std::string& path) {
    std::string error;
    const auto layer = std::dynamic_pointer_cast<KVLayer>(findItem(name, error));
    if (!layer)
        return KVControlAnswer::refused(error.empty() ? "\"" + name + "\" is a group, not a layer" : error);
    return fromStatus(corvane::layers::exportLayerPicture(
                          *layer, path, corvane::layers::keyboardDrawingPath(m_services.programFolder)),
                      json{{"id", layer->identifier()}, {"name", layer->displayName()}, {"file", path}});
}

KVControlAnswer KVControlCommands::changed(json data) {
    if (m_services.save && !m_services.save())
        return KVControlAnswer::refused("the change was made but the configuration could not be saved");
    return KVControlAnswer::done(std::move(data));
}

void KVControlCommands::startUpdate(const KVControlRequest& request, KVControlReply reply) {
    std::vector<std::string> words{request.command};
    words.insert(words.end(), request.arguments.begin(), request.arguments.end());
    std::string error;
    const auto command = parseUpdateCommand(words, error);
    if (!command)
        return reply.finish(KVControlAnswer::refused(error));
    if (!m_services.updates)
        return reply.finish(KVControlAnswer::refused(
            "no configurator is running; updates need it, because it drives the keyboard"));
    runUpdateCommand(
        *m_services.updates, *command, [reply](unsigned percent) { reply.progress(percent); },
        [reply](const KVFirmwareUpdateController::Result& result) {
            reply.finish(result.ok ? KVControlAnswer::done(json(result.message))
                                   : KVControlAnswer::refused(result.message));
        });
}
