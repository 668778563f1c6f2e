#include "conditions/ConditionStore.h"

#include "conditions/ApplicationCondition.h"
#include "conditions/ConditionPluginInstance.h"
#include "conditions/ModifierCondition.h"
#include "conditions/SysLayoutCondition.h"
#include "core/Guid.h"
#include "core/Log.h"
#include "store/PropertyNode.h"

namespace corvane {

namespace {

KVPtr<KVCondition> newConditionOfType(std::string_view type,
                                      KVPtr<const KVConditionEnvironment> environment) {
    if (type == kLayoutConditionType)
        return std::make_shared<KVSysLayoutCondition>(std::move(environment), 0);
    if (type == kModifierConditionType)
        return std::make_shared<KVModifierCondition>(std::move(environment));
    if (type == kLockConditionType)
        return std::make_shared<KVLockCondition>(std::move(environment));
    if (type == kApplicationConditionType)
        return std::make_shared<KVApplicationCondition>(std::move(environment));
    if (type == kPluginConditionType)
        return std::make_shared<KVConditionPluginInstance>(std::move(environment));
    return nullptr;
}

} // namespace

KVPtr<KVCondition> createCondition(const KVPropertyNode& entry,
                                   KVPtr<const KVConditionEnvironment> environment) {
    const std::string type = entry.childValue("Type");
    auto condition = newConditionOfType(type, std::move(environment));
    if (!condition) {
        corvane::logger("conditions")
            .warn("skipping stored condition \"{}\" of unknown type \"{}\"", entry.name(), type);
        return nullptr;
    }
    condition->Load(entry);
    return condition;
}

KVConditionList loadConditions(const KVPropertyNode& conditionsNode,
                               const KVPtr<const KVConditionEnvironment>& environment) {
    KVConditionList conditions;
    for (const auto& entry : conditionsNode.children())
        if (entry)
            if (auto condition = createCondition(*entry, environment))
                conditions.push_back(std::move(condition));
    return conditions;
}

void saveConditions(KVPropertyNode& conditionsNode, const KVConditionList& conditions) {
    for (const auto& condition : conditions) {
        if (!condition)
            continue;
        auto entry = KVPropertyNode::create(newGuidString());
        if (condition->Save(*entry))
            conditionsNode.setChild(entry);
    }
}

} // namespace corvane
