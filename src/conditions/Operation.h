#pragma once

#include "core/KVPtr.h"

#include <type_traits>
#include <utility>

// One edit of a condition, made by the editor and applied through the layers controller, which
// compares the condition's result before and after.
class KVOperation {
public:
    virtual void Apply() = 0;
    virtual ~KVOperation() = default;
};

// Sets one value on a target through one of its setters: KVSingleParamOperation<KVModifierCondition,
// uint32_t>(condition, &KVModifierCondition::SetMask, 6).
template <class T, class P> class KVSingleParamOperation final : public KVOperation {
public:
    using Setter = void (T::*)(P);
    using Value = std::remove_cvref_t<P>;

    KVSingleParamOperation(KVPtr<T> target, Setter setter, Value value)
        : m_target(std::move(target)), m_setter(setter), m_value(std::move(value)) {}

    // Copies the value in, so the operation can be applied again (redo) with the same result.
    void Apply() override {
        if (m_target && m_setter)
            ((*m_target).*m_setter)(Value(m_value));
    }

    const KVPtr<T>& Target() const { return m_target; }
    const Value& NewValue() const { return m_value; }

private:
    KVPtr<T> m_target;
    Setter m_setter;
    Value m_value;
};
