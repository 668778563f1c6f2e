#pragma once

#include "conditions/Condition.h"

#include <cstdint>
#include <string>
#include <string_view>

// Holds while the window with the keyboard focus uses its keyboard layout. Stored as "PCLayoutID",
// eight upper-case hexadecimal digits.
class KVSysLayoutCondition final : public KVCondition {
public:
    KVSysLayoutCondition(KVPtr<const KVConditionEnvironment> environment, uint32_t layout);
    // A new condition as the editor adds it: the catalogue's default layout, 0 without a catalogue.
    static KVPtr<KVSysLayoutCondition> CreateDefault(KVPtr<const KVConditionEnvironment> environment);

    bool IsTrue() override;
    void Load(const KVPropertyNode& entry) override;
    bool Save(KVPropertyNode& entry) const override;
    int ImageIndex() const override;

    uint32_t Layout() const { return m_layout; }
    void SetLayout(uint32_t layout) { m_layout = layout; }

private:
    uint32_t m_layout = 0;
};

namespace corvane {
// "00000409" for 0x409.
std::string layoutText(uint32_t layout);
// Hexadecimal in either case, read as every stored number is; nothing readable gives 0.
uint32_t parseLayoutText(std::string_view text);
} // namespace corvane
