#pragma once

#include "conditions/ConditionList.h"

class KVPropertyNode;

// The stored form of conditions: the "Conditions" dictionary of a layers item holds one entry per
// condition under a key that is a fresh GUID at every save; the keys are not read back.
namespace corvane {

// The condition that `entry` describes, by its "Type": "modifier", "lock", "language", "application"
// or "plugin". Any other type, or none, gives an empty reference (the entry is skipped).
KVPtr<KVCondition> createCondition(const KVPropertyNode& entry,
                                   KVPtr<const KVConditionEnvironment> environment);

// The conditions of a "Conditions" dictionary in document order, not started; unknown entries are
// left out and the others still load.
KVConditionList loadConditions(const KVPropertyNode& conditionsNode,
                               const KVPtr<const KVConditionEnvironment>& environment);

// Adds one entry per stored condition to `conditionsNode`. Conditions that are never stored (the
// system's keyboard condition) and empty entries add nothing.
void saveConditions(KVPropertyNode& conditionsNode, const KVConditionList& conditions);

} // namespace corvane
