#include "conditions/ConditionEdit.h"

namespace corvane {

KVConditionEditOutcome applyConditionEdit(IKVConditionEditHost& host, KVCondition& condition,
                                          KVOperation& operation) {
    if (!host.IsItemEnabled()) {
        operation.Apply();
        return KVConditionEditOutcome::ItemDisabled;
    }
    const bool before = condition.IsTrue();
    operation.Apply();
    const bool after = condition.IsTrue();
    if (before == after)
        return KVConditionEditOutcome::ResultKept;
    if (after) {
        // Becoming true can switch on this item and everything below it: only a full evaluation knows.
        host.ReEvaluate();
        return KVConditionEditOutcome::ReEvaluated;
    }
    if (!host.IsItemActive() || host.IsItemShownForEditing() || conditionsHold(host.ItemConditions()))
        return KVConditionEditOutcome::LeftAsIs;
    if (host.DeactivateItem())
        host.Recompose();
    return KVConditionEditOutcome::Deactivated;
}

} // namespace corvane
