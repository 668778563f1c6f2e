#include "system/linux/SessionLayouts.h"

#include "core/Log.h"
#include "hook/SystemHook.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <xcb/xcb.h>

struct KVSessionLayouts::XConnection {
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = 0;
    xcb_atom_t rulesNames = XCB_ATOM_NONE;

    ~XConnection() {
        if (connection)
            xcb_disconnect(connection);
    }

    // The property's layouts; empty when the server has none or the connection broke.
    std::vector<KVXkbLayoutName> readRulesNames() const {
        auto cookie = xcb_get_property(connection, 0, root, rulesNames, XCB_ATOM_STRING, 0, 1024);
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(connection, cookie, nullptr), std::free);
        if (!reply || reply->format != 8)
            return {};
        const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply.get()));
        const auto length = static_cast<std::size_t>(xcb_get_property_value_length(reply.get()));
        return corvane::parseXkbRulesNames({bytes, length});
    }
};

KVSessionLayouts::KVSessionLayouts(const IKVSystemHook* hook, std::string keyboardDefaults)
    : m_hook(hook), m_keyboardDefaults(std::move(keyboardDefaults)) {}

KVSessionLayouts::~KVSessionLayouts() = default;

std::vector<KVXkbLayoutName> KVSessionLayouts::installedLayouts() const {
    if (const char* overridden = std::getenv("CORVANE_XKB_LAYOUTS"); overridden && *overridden) {
        auto names = corvane::parseXkbLayoutList(overridden);
        if (!names.empty())
            return names;
        corvane::logger("system").warn("CORVANE_XKB_LAYOUTS names no layout: \"{}\"", overridden);
    }

    if (!m_triedX && std::getenv("DISPLAY")) {
        m_triedX = true;
        auto x = std::make_unique<XConnection>();
        x->connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(x->connection)) {
            corvane::logger("system").info("keyboard layouts: no X server at {} to ask",
                                           std::getenv("DISPLAY"));
        } else {
            x->root = xcb_setup_roots_iterator(xcb_get_setup(x->connection)).data->root;
            constexpr std::string_view kAtom = "_XKB_RULES_NAMES";
            auto cookie = xcb_intern_atom(x->connection, 1, kAtom.size(), kAtom.data());
            if (auto* reply = xcb_intern_atom_reply(x->connection, cookie, nullptr)) {
                x->rulesNames = reply->atom;
                std::free(reply);
            }
            m_x = std::move(x);
        }
    }
    if (m_x && m_x->rulesNames != XCB_ATOM_NONE && !xcb_connection_has_error(m_x->connection)) {
        auto names = m_x->readRulesNames();
        if (!names.empty())
            return names;
    }

    if (!m_keyboardDefaultsLayouts) {
        m_keyboardDefaultsLayouts.emplace();
        if (std::ifstream file{m_keyboardDefaults}) {
            std::ostringstream content;
            content << file.rdbuf();
            m_keyboardDefaultsLayouts = corvane::parseKeyboardDefaults(content.str());
        }
    }
    if (!m_keyboardDefaultsLayouts->empty())
        return *m_keyboardDefaultsLayouts;
    if (!m_warnedNoSource)
        corvane::logger("system").warn("keyboard layouts: no source names a layout; taking \"us\"");
    m_warnedNoSource = true;
    return {{"us", {}}};
}

std::optional<unsigned> KVSessionLayouts::currentGroup() const {
    if (!m_hook)
        return std::nullopt;
    return m_hook->layoutGroup();
}
