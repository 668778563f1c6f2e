#include "hook/X11Session.h"

#include "core/Log.h"
#include "core/MessageDispatch.h"
#include "core/Strings.h"
#include "hook/SystemHook.h"

#include <xcb/res.h>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>
#define explicit explicit_ // xkb.h uses a C++ keyword as a member name
#include <xcb/xkb.h>
#undef explicit

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

namespace {

// XKB indicator names as the standard keymaps spell them, with the mask bit each one sets.
constexpr std::array<std::pair<const char*, uint32_t>, 4> kLockIndicators{{
    {"Caps Lock", KV_LOCK_CAPS},
    {"Kana", KV_LOCK_KANA},
    {"Num Lock", KV_LOCK_NUM},
    {"Scroll Lock", KV_LOCK_SCROLL},
}};

template <class T> using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

template <class T> XcbReply<T> own(T* reply) {
    return XcbReply<T>(reply, &std::free);
}

} // namespace

struct KVX11Session::Connection {
    xcb_connection_t* conn = nullptr;
    xcb_ewmh_connection_t ewmh{};
    bool ewmhReady = false;
    int screen = 0;
    xcb_window_t root = 0;
    uint8_t xkbEventBase = 0;
    bool xkb = false;
    // X-Resource 1.2 or later answers which process a local client runs in.
    bool clientIds = false;
    // Indicator index of each lock, or -1 when the keymap has no such indicator.
    std::array<int, kLockIndicators.size()> indicatorIndex{-1, -1, -1, -1};

    ~Connection() {
        if (ewmhReady)
            xcb_ewmh_connection_wipe(&ewmh);
        if (conn)
            xcb_disconnect(conn);
    }
};

std::unique_ptr<KVX11Session> KVX11Session::connect(KVMainLoop& loop, const std::string& display) {
    auto x = std::make_unique<Connection>();
    x->conn = xcb_connect(display.empty() ? nullptr : display.c_str(), &x->screen);
    if (!x->conn || xcb_connection_has_error(x->conn))
        return nullptr;
    const xcb_setup_t* setup = xcb_get_setup(x->conn);
    auto screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < x->screen && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem)
        return nullptr;
    x->root = screens.data->root;

    xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(x->conn, &x->ewmh);
    x->ewmhReady = xcb_ewmh_init_atoms_replies(&x->ewmh, cookies, nullptr);

    if (xcb_get_extension_data(x->conn, &xcb_res_id)->present) {
        auto version =
            own(xcb_res_query_version_reply(x->conn, xcb_res_query_version(x->conn, 1, 2), nullptr));
        x->clientIds = version && (version->server_major > 1 || version->server_minor >= 2);
    }

    auto xkbReply = own(xcb_xkb_use_extension_reply(
        x->conn, xcb_xkb_use_extension(x->conn, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr));
    if (xkbReply && xkbReply->supported) {
        x->xkb = true;
        x->xkbEventBase = xcb_get_extension_data(x->conn, &xcb_xkb_id)->first_event;
        for (size_t i = 0; i < kLockIndicators.size(); ++i) {
            const char* name = kLockIndicators[i].first;
            auto atom =
                own(xcb_intern_atom_reply(x->conn, xcb_intern_atom(x->conn, 1, strlen(name), name), nullptr));
            if (!atom || atom->atom == XCB_ATOM_NONE)
                continue;
            auto found = own(xcb_xkb_get_named_indicator_reply(
                x->conn,
                xcb_xkb_get_named_indicator(x->conn, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_LED_CLASS_DFLT_XI_CLASS,
                                            XCB_XKB_ID_DFLT_XI_ID, atom->atom),
                nullptr));
            if (found && found->found)
                x->indicatorIndex[i] = found->ndx;
        }
    } else {
        corvane::logger("hook").warn(
            "the X server has no XKB: modifier, lock and layout changes are not followed");
    }
    return std::unique_ptr<KVX11Session>(new KVX11Session(loop, std::move(x)));
}

KVX11Session::KVX11Session(KVMainLoop& loop, std::unique_ptr<Connection> connection)
    : m_loop(loop), m_x(std::move(connection)) {}

KVX11Session::~KVX11Session() {
    stop();
}

void KVX11Session::start(CKVMessageDispatch& dispatch) {
    if (m_dispatch)
        return;
    m_dispatch = &dispatch;

    const uint32_t rootEvents[] = {XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_change_window_attributes(m_x->conn, m_x->root, XCB_CW_EVENT_MASK, rootEvents);
    if (m_x->xkb) {
        const uint16_t events = XCB_XKB_EVENT_TYPE_STATE_NOTIFY | XCB_XKB_EVENT_TYPE_INDICATOR_STATE_NOTIFY;
        xcb_xkb_select_events(m_x->conn, XCB_XKB_ID_USE_CORE_KBD, events, 0, events, 0, 0, nullptr);
    }
    xcb_flush(m_x->conn);
    queryInitialState();
    m_activeWindow = 0;
    reportActiveWindow();

    m_watch = m_loop.watchFd(xcb_get_file_descriptor(m_x->conn), KVMainLoop::Readable,
                             [this](unsigned) { readEvents(); });
}

void KVX11Session::stop() {
    if (m_watch)
        m_loop.unwatchFd(*m_watch);
    m_watch.reset();
    m_dispatch = nullptr;
}

void KVX11Session::queryInitialState() {
    if (!m_x->xkb)
        return;
    auto state = own(
        xcb_xkb_get_state_reply(m_x->conn, xcb_xkb_get_state(m_x->conn, XCB_XKB_ID_USE_CORE_KBD), nullptr));
    auto indicators = own(xcb_xkb_get_indicator_state_reply(
        m_x->conn, xcb_xkb_get_indicator_state(m_x->conn, XCB_XKB_ID_USE_CORE_KBD), nullptr));
    if (state) {
        m_heldMods = state->baseMods | state->latchedMods;
        m_lockedMods = state->lockedMods;
        m_group = state->group;
    }
    if (indicators)
        m_indicators = indicators->state;
    publishState();
}

void KVX11Session::readEvents() {
    while (xcb_generic_event_t* raw = xcb_poll_for_event(m_x->conn)) {
        auto event = own(raw);
        const uint8_t type = event->response_type & 0x7F;
        if (type == XCB_PROPERTY_NOTIFY) {
            auto* notify = reinterpret_cast<xcb_property_notify_event_t*>(event.get());
            if (m_x->ewmhReady && notify->window == m_x->root && notify->atom == m_x->ewmh._NET_ACTIVE_WINDOW)
                reportActiveWindow();
        } else if (m_x->xkb && type == m_x->xkbEventBase) {
            // All XKB events share one event code; the XKB type is the second byte.
            const uint8_t xkbType = reinterpret_cast<const uint8_t*>(event.get())[1];
            if (xkbType == XCB_XKB_STATE_NOTIFY) {
                auto* state = reinterpret_cast<xcb_xkb_state_notify_event_t*>(event.get());
                updateState(state->baseMods | state->latchedMods, state->lockedMods, state->group);
            } else if (xkbType == XCB_XKB_INDICATOR_STATE_NOTIFY) {
                auto* indicators = reinterpret_cast<xcb_xkb_indicator_state_notify_event_t*>(event.get());
                updateIndicators(indicators->state);
            }
        }
    }
    if (xcb_connection_has_error(m_x->conn)) {
        corvane::logger("hook").error(
            "the connection to the X server is lost: window and keyboard changes are no longer followed");
        stop();
    }
}

void KVX11Session::updateState(uint8_t heldMods, uint8_t lockedMods, uint8_t group) {
    m_heldMods = heldMods;
    m_lockedMods = lockedMods;
    m_group = group;
    publishState();
}

void KVX11Session::updateIndicators(uint32_t indicatorState) {
    m_indicators = indicatorState;
    publishState();
}

void KVX11Session::publishState() {
    int32_t state = 0;
    if (m_heldMods & XCB_MOD_MASK_1)
        state |= KV_MOD_ALT;
    if (m_heldMods & XCB_MOD_MASK_CONTROL)
        state |= KV_MOD_CTRL;
    if (m_heldMods & XCB_MOD_MASK_SHIFT)
        state |= KV_MOD_SHIFT;
    if (m_heldMods & XCB_MOD_MASK_4)
        state |= KV_MOD_WIN;
    for (size_t i = 0; i < kLockIndicators.size(); ++i)
        if (m_x->indicatorIndex[i] >= 0 && (m_indicators >> m_x->indicatorIndex[i]) & 1)
            state |= int32_t(kLockIndicators[i].second);
    // Keymaps without lock indicators still lock the modifiers themselves.
    if (m_x->indicatorIndex[0] < 0 && (m_lockedMods & XCB_MOD_MASK_LOCK))
        state |= KV_LOCK_CAPS;
    if (m_x->indicatorIndex[2] < 0 && (m_lockedMods & XCB_MOD_MASK_2))
        state |= KV_LOCK_NUM;

    // A layout switch changes what layout conditions see, so it is announced like a modifier.
    const bool changed = state != m_state || m_group != m_publishedGroup;
    m_state = state;
    m_publishedGroup = m_group;
    if (changed && m_dispatch)
        m_dispatch->send<KVM_HOOK_STATE_CHANGED>();
}

void KVX11Session::reportActiveWindow() {
    if (!m_x->ewmhReady)
        return;
    xcb_window_t window = 0;
    if (!xcb_ewmh_get_active_window_reply(&m_x->ewmh, xcb_ewmh_get_active_window(&m_x->ewmh, m_x->screen),
                                          &window, nullptr))
        return;
    if (window == m_activeWindow || window == XCB_WINDOW_NONE)
        return;
    m_activeWindow = window;
    if (m_dispatch)
        m_dispatch->send<KVM_WINDOW_ACTIVATED>(window);
}

std::optional<pid_t> KVX11Session::windowProcessId(unsigned long window) const {
    uint32_t pid = 0;
    if (m_x->ewmhReady &&
        xcb_ewmh_get_wm_pid_reply(&m_x->ewmh, xcb_ewmh_get_wm_pid(&m_x->ewmh, xcb_window_t(window)), &pid,
                                  nullptr) &&
        pid != 0)
        return pid_t(pid);
    // Xt and Motif programs, some Java programs and others never set _NET_WM_PID.
    return clientProcessId(window);
}

KVWindowOwner KVX11Session::windowOwner(unsigned long window) const {
    KVWindowOwner owner{windowProcessId(window), {}};
    if (!owner.pid)
        owner.names = windowClassNames(window);
    return owner;
}

std::optional<pid_t> KVX11Session::clientProcessId(unsigned long window) const {
    if (!m_x->clientIds)
        return std::nullopt;
    xcb_res_client_id_spec_t spec{xcb_window_t(window), XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    auto reply = own(
        xcb_res_query_client_ids_reply(m_x->conn, xcb_res_query_client_ids(m_x->conn, 1, &spec), nullptr));
    if (!reply)
        return std::nullopt;
    // A client on another machine has no local process, and the server answers no such id for it.
    for (auto ids = xcb_res_query_client_ids_ids_iterator(reply.get()); ids.rem;
         xcb_res_client_id_value_next(&ids)) {
        if (!(ids.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) ||
            xcb_res_client_id_value_value_length(ids.data) < 1)
            continue;
        const uint32_t pid = *xcb_res_client_id_value_value(ids.data);
        if (pid != 0)
            return pid_t(pid);
    }
    return std::nullopt;
}

std::vector<std::string> KVX11Session::windowClassNames(unsigned long window) const {
    auto reply = own(xcb_get_property_reply(
        m_x->conn,
        xcb_get_property(m_x->conn, 0, xcb_window_t(window), XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256),
        nullptr));
    if (!reply || reply->format != 8)
        return {};
    // Instance and class, each ended by a NUL: "xcalc\0XCalc\0".
    const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply.get()));
    const std::string_view value(bytes, size_t(xcb_get_property_value_length(reply.get())));
    std::vector<std::string> names;
    for (size_t start = 0; start < value.size() && names.size() < 2;) {
        size_t end = value.find('\0', start);
        if (end == std::string_view::npos)
            end = value.size();
        std::string name = corvane::asciiLower(value.substr(start, end - start));
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(std::move(name));
        start = end + 1;
    }
    return names;
}
