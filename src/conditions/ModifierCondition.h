#pragma once

#include "conditions/Condition.h"

#include <cstdint>

// Holds while every key of its mask is held (or lock state on), whatever else is held; the empty mask
// always holds. Stored as "Modifiers" letters.
class KVModifierCondition : public KVCondition {
public:
    explicit KVModifierCondition(KVPtr<const KVConditionEnvironment> environment, uint32_t mask = 0);

    bool IsTrue() override;
    void Load(const KVPropertyNode& entry) override;
    bool Save(KVPropertyNode& entry) const override;

    uint32_t Mask() const { return m_mask; }
    // Bits without a letter are dropped: they could not be stored, and a condition must test the same
    // before and after a save.
    void SetMask(uint32_t mask);

protected:
    KVModifierCondition(std::string_view type, KVPtr<const KVConditionEnvironment> environment,
                        uint32_t mask);

private:
    uint32_t m_mask = 0;
};

// The same test for the lock states; only the stored type differs. Nothing keeps modifier bits out of a
// lock condition or lock bits out of a modifier condition.
class KVLockCondition final : public KVModifierCondition {
public:
    explicit KVLockCondition(KVPtr<const KVConditionEnvironment> environment, uint32_t mask = 0);
};
