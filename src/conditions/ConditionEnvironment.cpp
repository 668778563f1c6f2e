#include "conditions/ConditionEnvironment.h"

#include "hook/SystemHook.h"

uint32_t KVConditionEnvironment::ModifierState() const {
    uint32_t state = 0;
    if (hook)
        state |= static_cast<uint32_t>(hook->GetHookModifiersState());
    if (keyboard)
        state |= keyboard->KeyboardModifierMask();
    return state;
}
