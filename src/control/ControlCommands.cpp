#include "control/ControlCommands.h"

#include "core/Log.h"
#include "layers/LayerCake.h"
#include "layers/LayersController.h"

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

} // namespace

KVControlCommands::KVControlCommands(KVControlServices services) : m_services(std::move(services)) {}

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
    item->setFlag(KV_ITEM_ENABLED, enabled);
    m_services.layers.ReEvaluate();
    return changed(describe(*item));
}

KVControlAnswer KVControlCommands::remove(const std::string& name) {
    std::string error;
    const auto item = findItem(name, error);
    if (!item)
        return KVControlAnswer::refused(error);
    if (item->hasFlag(KV_ITEM_BUILT_IN))
        return KVControlAnswer::refused("\"" + item->displayName() + "\" is built in and cannot be deleted");
    return KVControlAnswer::refused("deleting is not wired yet");
}

KVControlAnswer KVControlCommands::changed(json data) {
    if (m_services.save && !m_services.save())
        return KVControlAnswer::refused("the change was made but the configuration could not be saved");
    return KVControlAnswer::done(std::move(data));
}
