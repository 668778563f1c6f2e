#include "conditions/ApplicationCondition.h"

#include "core/Strings.h"
#include "store/PropertyNode.h"

namespace {
constexpr std::string_view kForegroundPredicate = "is foreground";
constexpr std::string_view kRunningPredicate = "is running";
} // namespace

KVApplicationCondition::KVApplicationCondition(KVPtr<const KVConditionEnvironment> environment,
                                               std::string id, bool foreground)
    : KVCondition(corvane::kApplicationConditionType, std::move(environment)), m_foreground(foreground) {
    SetApplicationId(std::move(id));
}

void KVApplicationCondition::SetApplicationId(std::string id) {
    m_id = std::move(id);
    m_lowerId = corvane::asciiLower(m_id);
}

bool KVApplicationCondition::IsTrue() {
    if (m_lowerId.empty() || !environment() || !environment()->applications)
        return false;
    const auto& applications = *environment()->applications;
    return m_foreground ? applications.IsForeground(m_lowerId) : applications.IsRunning(m_lowerId);
}

void KVApplicationCondition::Load(const KVPropertyNode& entry) {
    SetApplicationId(entry.childValue("PCApplicationID"));
    // Only the exact foreground text asks for the foreground; anything else, or nothing, is a running test.
    m_foreground = entry.childValue("Predicate") == kForegroundPredicate;
}

bool KVApplicationCondition::Save(KVPropertyNode& entry) const {
    KVCondition::Save(entry);
    entry.addChild("PCApplicationID", m_id);
    entry.addChild("Predicate", std::string(m_foreground ? kForegroundPredicate : kRunningPredicate));
    return true;
}

int KVApplicationCondition::ImageIndex() const {
    if (m_lowerId.empty() || !environment() || !environment()->applications)
        return -1;
    return environment()->applications->ApplicationImageIndex(m_lowerId);
}
