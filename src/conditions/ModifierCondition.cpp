#include "conditions/ModifierCondition.h"

#include "conditions/ModifierMask.h"
#include "store/PropertyNode.h"

KVModifierCondition::KVModifierCondition(KVPtr<const KVConditionEnvironment> environment, uint32_t mask)
    : KVModifierCondition(corvane::kModifierConditionType, std::move(environment), mask) {}

KVModifierCondition::KVModifierCondition(std::string_view type,
                                         KVPtr<const KVConditionEnvironment> environment, uint32_t mask)
    : KVCondition(type, std::move(environment)) {
    SetMask(mask);
}

bool KVModifierCondition::IsTrue() {
    const uint32_t state = environment() ? environment()->ModifierState() : 0;
    return (state & m_mask) == m_mask;
}

void KVModifierCondition::Load(const KVPropertyNode& entry) {
    SetMask(corvane::parseModifierLetters(entry.childValue("Modifiers")));
}

bool KVModifierCondition::Save(KVPropertyNode& entry) const {
    KVCondition::Save(entry);
    entry.addChild("Modifiers", corvane::modifierLetters(m_mask));
    return true;
}

void KVModifierCondition::SetMask(uint32_t mask) {
    m_mask = mask & corvane::kModifierMaskBits;
}

KVLockCondition::KVLockCondition(KVPtr<const KVConditionEnvironment> environment, uint32_t mask)
    : KVModifierCondition(corvane::kLockConditionType, std::move(environment), mask) {}
