#pragma once

#include "conditions/ConditionEnvironment.h"
#include "core/KVPtr.h"

#include <string>
#include <string_view>

class KVPropertyNode;

// Type names, as stored under "Type" in a condition's entry (the keyboard condition's is never stored).
namespace corvane {
constexpr std::string_view kModifierConditionType = "modifier";
constexpr std::string_view kLockConditionType = "lock";
constexpr std::string_view kLayoutConditionType = "language";
constexpr std::string_view kApplicationConditionType = "application";
constexpr std::string_view kPluginConditionType = "plugin";
constexpr std::string_view kSysConditionType = "sys_condition";
} // namespace corvane

// A predicate about the computer or the keyboard that decides, with the other conditions of its layers
// item, whether the item takes effect. Conditions hold only their payload and read the live state from
// their environment at each IsTrue, so evaluating never goes stale.
class KVCondition {
public:
    virtual ~KVCondition() = default;
    KVCondition(const KVCondition&) = delete;
    KVCondition& operator=(const KVCondition&) = delete;

    // Non-const: a plug-in condition creates its plug-in object at the first evaluation.
    virtual bool IsTrue() = 0;
    // Reads the payload from the condition's stored entry; missing keys read as empty text.
    virtual void Load(const KVPropertyNode& entry) = 0;
    // Writes "Type" and the payload into `entry`. False when this kind of condition is never stored.
    virtual bool Save(KVPropertyNode& entry) const = 0;
    // The picture shown beside the condition in the editor; -1 for none.
    virtual int ImageIndex() const { return -1; }
    // Called when a condition is added to an item (not when it is loaded) and when it is removed.
    virtual void Start() {}
    virtual void Stop() {}

    const std::string& Type() const { return m_type; }

protected:
    KVCondition(std::string_view type, KVPtr<const KVConditionEnvironment> environment)
        : m_type(type), m_environment(std::move(environment)) {}

    // Null when the condition was made without one: then it sees no system state at all.
    const KVConditionEnvironment* environment() const { return m_environment.get(); }

private:
    std::string m_type;
    KVPtr<const KVConditionEnvironment> m_environment;
};
