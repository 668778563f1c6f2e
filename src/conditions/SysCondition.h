#pragma once

#include "conditions/Condition.h"

// Holds while the keyboard is open. The system attaches one to the user's layers at start-up so that
// they show only on a keyboard that is there; it is never stored.
class KVSysCondition final : public KVCondition {
public:
    explicit KVSysCondition(KVPtr<const KVConditionEnvironment> environment);

    bool IsTrue() override;
    void Load(const KVPropertyNode&) override {}
    // Writes nothing and answers false, so the item's stored conditions get no entry for it.
    bool Save(KVPropertyNode&) const override { return false; }
};
