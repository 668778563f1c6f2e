#pragma once

#include "conditions/Condition.h"

#include <vector>

// The conditions of one layers item, in loaded order; the order does not change the result.
using KVConditionList = std::vector<KVPtr<KVCondition>>;

namespace corvane {

// Every condition holds, checked in order up to the first that does not. An empty list holds; an empty
// entry does not.
bool conditionsHold(const KVConditionList& conditions);

// Whether a layers item is to be active: it is shown for editing (the editor forces it on), or it is
// enabled and its conditions hold. Enclosing groups are the caller's walk.
bool itemQualifies(bool enabled, bool shownForEditing, const KVConditionList& conditions);

// Appends a condition that the user or the system adds, and starts it. Loaded conditions are appended
// without starting. A null condition is not added.
void addCondition(KVConditionList& conditions, KVPtr<KVCondition> condition);
// Stops and erases the condition; false when it is not in the list.
bool removeCondition(KVConditionList& conditions, KVPtr<KVCondition> condition);
// For an item that goes away: stops each condition in order, then releases them all.
void stopConditions(KVConditionList& conditions);

} // namespace corvane
