#include "conditions/SysLayoutCondition.h"

#include "core/StoredNumbers.h"
#include "store/PropertyNode.h"

#include <fmt/format.h>

namespace corvane {

std::string layoutText(uint32_t layout) {
    return fmt::format("{:08X}", layout);
}

uint32_t parseLayoutText(std::string_view text) {
    return readStoredHex(text).value_or(0);
}

} // namespace corvane

KVSysLayoutCondition::KVSysLayoutCondition(KVPtr<const KVConditionEnvironment> environment, uint32_t layout)
    : KVCondition(corvane::kLayoutConditionType, std::move(environment)), m_layout(layout) {}

KVPtr<KVSysLayoutCondition>
KVSysLayoutCondition::CreateDefault(KVPtr<const KVConditionEnvironment> environment) {
    const uint32_t layout =
        environment && environment->layouts ? environment->layouts->DefaultLayout() : uint32_t{0};
    return std::make_shared<KVSysLayoutCondition>(std::move(environment), layout);
}

bool KVSysLayoutCondition::IsTrue() {
    // Layout 0 is what an empty or unreadable "PCLayoutID" gives; it names no layout and must not
    // match a catalogue that answers 0 because no layout is installed.
    if (m_layout == 0 || !environment() || !environment()->layouts)
        return false;
    return environment()->layouts->CurrentLayout() == m_layout;
}

void KVSysLayoutCondition::Load(const KVPropertyNode& entry) {
    m_layout = corvane::parseLayoutText(entry.childValue("PCLayoutID"));
}

bool KVSysLayoutCondition::Save(KVPropertyNode& entry) const {
    KVCondition::Save(entry);
    entry.addChild("PCLayoutID", corvane::layoutText(m_layout));
    return true;
}

int KVSysLayoutCondition::ImageIndex() const {
    if (!environment() || !environment()->layouts)
        return -1;
    return environment()->layouts->LayoutImageIndex(m_layout);
}
