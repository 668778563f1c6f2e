#pragma once

#include "conditions/ApplicationCondition.h"
#include "conditions/ConditionList.h"
#include "conditions/ModifierCondition.h"
#include "conditions/Operation.h"
#include "conditions/SysLayoutCondition.h"

#include <cstdint>
#include <string>

// The four edits the editor makes to a condition.
using KVModifierMaskOperation = KVSingleParamOperation<KVModifierCondition, uint32_t>;
using KVLayoutOperation = KVSingleParamOperation<KVSysLayoutCondition, uint32_t>;
using KVApplicationIdOperation = KVSingleParamOperation<KVApplicationCondition, std::string>;
using KVForegroundOperation = KVSingleParamOperation<KVApplicationCondition, bool>;

// What applying an edit needs from the layers controller about the item that holds the edited
// condition. The controller implements it around the item being edited.
class IKVConditionEditHost {
public:
    virtual ~IKVConditionEditHost() = default;

    virtual bool IsItemEnabled() const = 0;
    virtual bool IsItemActive() const = 0;
    virtual bool IsItemShownForEditing() const = 0;
    virtual const KVConditionList& ItemConditions() const = 0;

    // Evaluates every item again and recomposes when anything changed.
    virtual void ReEvaluate() = 0;
    // Deactivates the item as the evaluation does; true when that changed the active layers.
    virtual bool DeactivateItem() = 0;
    virtual void Recompose() = 0;
};

// What applying an edit led to; mostly for the log and the tests.
enum class KVConditionEditOutcome {
    ItemDisabled, // applied, nothing else: a disabled item is not active either way
    ResultKept,   // the condition answers as before
    ReEvaluated,  // it became true: the item (and what it gates) may now qualify
    Deactivated,  // it became false and the item no longer qualifies
    LeftAsIs,     // it became false, but the item was not active, is shown, or still qualifies
};

namespace corvane {

// Applies `operation` (an edit of `condition`, one of the item's conditions) and brings the item's
// activation in line with the new result. The caller saves the item afterwards.
KVConditionEditOutcome applyConditionEdit(IKVConditionEditHost& host, KVCondition& condition,
                                          KVOperation& operation);

} // namespace corvane
