#pragma once

#include "system/XkbLayoutName.h"

#include <map>
#include <string>
#include <vector>

// What the XKB registry (evdev rules) says about the layouts it knows: the description shown to people
// and the languages, read once with xkbregistry.
class KVLayoutRegistry {
public:
    struct Entry {
        KVXkbLayoutName name;
        std::string description;
        // ISO 639-3 codes; a variant without its own takes its layout's.
        std::vector<std::string> languages;
    };

    // Reads the registry of the default XKB include path; an unreadable registry leaves it empty.
    KVLayoutRegistry();

    // nullptr when the registry does not know the layout.
    const Entry* find(const KVXkbLayoutName& name) const;
    const std::vector<Entry>& entries() const { return m_entries; }

private:
    std::vector<Entry> m_entries;
    std::map<std::string, std::size_t> m_byName;
};
