#pragma once

#include "conditions/Condition.h"

class KVPropertyNode;

// A "plugin" condition read where no plug-ins are available (tools, tests). It reports false
// (also what a missing plug-in gives) and keeps its stored entry whole, so that "PluginID",
// "SubPluginID", "PluginProperties" and any key it does not know are saved again unchanged.
class KVStoredPluginCondition final : public KVCondition {
public:
    explicit KVStoredPluginCondition(KVPtr<const KVConditionEnvironment> environment);

    bool IsTrue() override { return m_state; }
    void Load(const KVPropertyNode& entry) override;
    bool Save(KVPropertyNode& entry) const override;

    // The stored entry as loaded (a private copy; never null).
    const KVPtr<KVPropertyNode>& StoredEntry() const { return m_stored; }

private:
    KVPtr<KVPropertyNode> m_stored;
    // The plug-in's last reported result.
    bool m_state = false;
};
