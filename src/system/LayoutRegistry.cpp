#include "system/LayoutRegistry.h"

#include "core/Log.h"

#include <memory>
#include <xkbcommon/xkbregistry.h>

namespace {

std::string text(const char* value) {
    return value ? value : "";
}

} // namespace

KVLayoutRegistry::KVLayoutRegistry() {
    std::unique_ptr<rxkb_context, decltype(&rxkb_context_unref)> context(
        rxkb_context_new(RXKB_CONTEXT_NO_FLAGS), rxkb_context_unref);
    if (!context || !rxkb_context_parse_default_ruleset(context.get())) {
        corvane::logger("system").error(
            "keyboard layouts: the XKB registry cannot be read; layouts stay unnamed");
        return;
    }
    for (auto* layout = rxkb_layout_first(context.get()); layout; layout = rxkb_layout_next(layout)) {
        Entry entry;
        entry.name = {text(rxkb_layout_get_name(layout)), text(rxkb_layout_get_variant(layout))};
        entry.description = text(rxkb_layout_get_description(layout));
        for (auto* code = rxkb_layout_get_iso639_first(layout); code; code = rxkb_iso639_code_next(code))
            entry.languages.push_back(text(rxkb_iso639_code_get_code(code)));
        m_entries.push_back(std::move(entry));
    }
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        m_byName.emplace(m_entries[i].name.text(), i);
    // Variants listed without languages speak their layout's.
    for (auto& entry : m_entries) {
        if (!entry.languages.empty() || entry.name.variant.empty())
            continue;
        if (const auto* base = find({entry.name.layout, {}}))
            entry.languages = base->languages;
    }
}

const KVLayoutRegistry::Entry* KVLayoutRegistry::find(const KVXkbLayoutName& name) const {
    auto it = m_byName.find(name.text());
    return it == m_byName.end() ? nullptr : &m_entries[it->second];
}
