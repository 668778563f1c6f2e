#pragma once

#include "system/LayoutSystem.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class IKVSystemHook;

// The layouts of a Linux session, from the first source that names any:
//  1. CORVANE_XKB_LAYOUTS ("us,de(nodeadkeys),ru"), for tests and sessions without X;
//  2. the X server's _XKB_RULES_NAMES, the layouts the session really has;
//  3. the system keyboard configuration (/etc/default/keyboard);
//  4. "us", the layout XKB itself falls back to.
// The group in use comes from the hook (XKB state of the core keyboard).
class KVSessionLayouts final : public IKVLayoutSystem {
public:
    // `hook` may be null (no group known); `keyboardDefaults` is the file of step 3.
    explicit KVSessionLayouts(const IKVSystemHook* hook,
                              std::string keyboardDefaults = "/etc/default/keyboard");
    ~KVSessionLayouts() override;

    std::vector<KVXkbLayoutName> installedLayouts() const override;
    std::optional<unsigned> currentGroup() const override;

private:
    struct XConnection;
    const IKVSystemHook* m_hook;
    std::string m_keyboardDefaults;
    mutable std::unique_ptr<XConnection> m_x;
    mutable bool m_triedX = false;
    // The system keyboard configuration, read once: conditions ask for the layouts at every evaluation.
    mutable std::optional<std::vector<KVXkbLayoutName>> m_keyboardDefaultsLayouts;
    mutable bool m_warnedNoSource = false;
};
