#include "conditions/SysCondition.h"

KVSysCondition::KVSysCondition(KVPtr<const KVConditionEnvironment> environment)
    : KVCondition(corvane::kSysConditionType, std::move(environment)) {}

bool KVSysCondition::IsTrue() {
    return environment() && environment()->keyboard && environment()->keyboard->IsKeyboardOpen();
}
