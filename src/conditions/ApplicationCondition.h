#pragma once

#include "conditions/Condition.h"

#include <string>

// Holds while an application runs, or while it is in the foreground. The identifier is an executable's
// file name and matches whatever its case: "NotePad.EXE" matches a running notepad.exe.
class KVApplicationCondition final : public KVCondition {
public:
    KVApplicationCondition(KVPtr<const KVConditionEnvironment> environment, std::string id = {},
                           bool foreground = false);

    bool IsTrue() override;
    void Load(const KVPropertyNode& entry) override;
    bool Save(KVPropertyNode& entry) const override;
    int ImageIndex() const override;

    // As given, so that it is saved as the user wrote it.
    const std::string& ApplicationId() const { return m_id; }
    bool Foreground() const { return m_foreground; }
    void SetApplicationId(std::string id);
    void SetForeground(bool foreground) { m_foreground = foreground; }

private:
    std::string m_id;
    // Lower-cased once here rather than at every evaluation.
    std::string m_lowerId;
    bool m_foreground = false;
};
