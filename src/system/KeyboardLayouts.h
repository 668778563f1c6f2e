#pragma once

#include "conditions/ConditionEnvironment.h"
#include "system/LayoutRegistry.h"
#include "system/LayoutSystem.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class KVGlobalImageList;

// The keyboard-layout catalogue: which layouts the session has, which one is in use, what they are
// called, and the small language pictures shown beside them. Layouts are named by the 32-bit
// identifiers of LayoutIds.h. One per process, used on the user-interface thread.
class KVKeyboardLayouts final : public IKVLayoutSource {
public:
    // `images` receives the language pictures; without it there are none.
    KVKeyboardLayouts(const IKVLayoutSystem& system, KVGlobalImageList* images);
    ~KVKeyboardLayouts() override;

    // The session's layouts in its order, each once.
    std::vector<uint32_t> InstalledLayouts() const;
    // The layout of the group in use; the first installed layout when the session cannot tell.
    uint32_t CurrentLayout() const override;
    // The first installed layout whose language is not U.S. English, else the first one; 0 without any.
    uint32_t DefaultLayout() const override;
    int LayoutImageIndex(uint32_t layout) override;

    // "German"; empty for a language the program does not know.
    std::string LanguageName(uint32_t layout) const;
    // The XKB registry's description ("German (no dead keys)"); the XKB name for a layout the registry
    // lacks; empty for an identifier no known layout has.
    std::string LayoutName(uint32_t layout) const;
    // Language name, " - " when there is one, layout name.
    std::string LayerTitle(uint32_t layout) const;
    // Two upper-case letters ("DE"); empty when the language is not known.
    std::string LanguageAbbreviation(uint16_t languageId) const;
    // The decimal separator of the language's locale (at most six characters): glibc's locale data
    // when that locale is installed, else the program's table, else ".".
    std::string DecimalSeparator(uint16_t languageId) const;

    // The XKB layout behind an identifier: an installed one, one of the Windows table, or any layout of
    // the XKB registry.
    std::optional<KVXkbLayoutName> XkbName(uint32_t layout) const;

private:
    struct Installed {
        KVXkbLayoutName name;
        uint32_t id;
    };
    std::vector<Installed> installed() const;
    const KVLayoutRegistry& registry() const;
    // Identifier -> registry entry for every layout the registry knows; built on first use.
    const std::map<uint32_t, const KVLayoutRegistry::Entry*>& registryIds() const;
    uint32_t idOf(const KVXkbLayoutName& name) const;

    const IKVLayoutSystem& m_system;
    KVGlobalImageList* m_images;
    mutable std::unique_ptr<KVLayoutRegistry> m_registry;
    mutable std::map<uint32_t, const KVLayoutRegistry::Entry*> m_registryIds;
    mutable bool m_registryIdsFilled = false;
    std::map<uint32_t, int> m_pictures;
};
