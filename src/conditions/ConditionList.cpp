#include "conditions/ConditionList.h"

#include <algorithm>

namespace corvane {

bool conditionsHold(const KVConditionList& conditions) {
    return std::all_of(conditions.begin(), conditions.end(),
                       [](const KVPtr<KVCondition>& condition) { return condition && condition->IsTrue(); });
}

bool itemQualifies(bool enabled, bool shownForEditing, const KVConditionList& conditions) {
    return shownForEditing || (enabled && conditionsHold(conditions));
}

void addCondition(KVConditionList& conditions, KVPtr<KVCondition> condition) {
    if (!condition)
        return;
    conditions.push_back(condition);
    condition->Start();
}

bool removeCondition(KVConditionList& conditions, KVPtr<KVCondition> condition) {
    auto found = std::find(conditions.begin(), conditions.end(), condition);
    if (!condition || found == conditions.end())
        return false;
    conditions.erase(found);
    condition->Stop();
    return true;
}

void stopConditions(KVConditionList& conditions) {
    for (const auto& condition : conditions)
        if (condition)
            condition->Stop();
    conditions.clear();
}

} // namespace corvane
