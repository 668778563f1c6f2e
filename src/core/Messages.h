#pragma once

#include <cstdint>
#include <string_view>

// The numbered messages through which the controllers and editor windows meet (see MessageDispatch.h).

using KVMessage = uint32_t;
using KVWParam = std::uintptr_t;
using KVLParam = std::intptr_t;

class KVViewPluginInstance;

// A parameter that a message does not use; it travels as 0.
struct KVUnused {};

// Every private message: number, name, wParam type, lParam type. Text messages carry `const char*`
// (UTF-8), delivered as a data copy: the pointer is valid during the call only.
// KVM_RESERVED keeps its number free inside the hook's range; nothing sends or handles it.
// KVM_WINDOW_ACTIVATED_SECOND_SOURCE is the same event as KVM_WINDOW_ACTIVATED from a second way of
// noticing it (a hook may watch two), handled alike.
#define KV_PRIVATE_MESSAGES(X)                                                                               \
    X(2025, KVM_DEVICE_MODIFIERS_CHANGED, unsigned, KVUnused)                                                \
    X(2026, KVM_RESERVED, KVUnused, KVUnused)                                                                \
    X(2027, KVM_PROCESS_EVENT, unsigned, long)                                                               \
    X(2028, KVM_WINDOW_ACTIVATED, unsigned long, KVUnused)                                                   \
    X(2029, KVM_RUNNING_APPS_CHANGED, KVUnused, KVUnused)                                                    \
    X(2030, KVM_FOREGROUND_APP_CHANGED, KVUnused, KVUnused)                                                  \
    X(2031, KVM_HOOK_STATE_CHANGED, KVUnused, KVUnused)                                                      \
    X(2032, KVM_WINDOW_ACTIVATED_SECOND_SOURCE, unsigned long, KVUnused)                                     \
    X(2033, KVM_LAYERS_FOLDER_CHANGED, KVUnused, KVUnused)                                                   \
    X(2034, KVM_TREE_SELECTION_CHANGED, KVUnused, KVUnused)                                                  \
    X(2035, KVM_IMAGE_FILE_RELOADED, const char*, KVUnused)                                                  \
    X(2036, KVM_ACTIVE_LAYERS_CHANGED, KVUnused, KVUnused)                                                   \
    X(2037, KVM_PLUGIN_IMAGE_UPDATED, KVViewPluginInstance*, unsigned)                                       \
    X(2038, KVM_KEY_SELECTION_CHANGED, KVUnused, KVUnused)                                                   \
    X(2039, KVM_BINDING_EDITED, KVUnused, KVUnused)                                                          \
    X(2040, KVM_DEVICE_STATE, unsigned, KVUnused)                                                            \
    X(2041, KVM_TRAY_CALLBACK, unsigned, int)                                                                \
    X(2042, KVM_SHOW_EDITOR, KVUnused, KVUnused)                                                             \
    X(2043, KVM_KEY_CHANGED, unsigned, KVUnused)                                                             \
    X(2044, KVM_KEYS_EDITED, KVUnused, KVUnused)                                                             \
    X(2045, KVM_KEY_EVENT, unsigned, int)                                                                    \
    X(2046, KVM_PLUGIN_CONDITION_CHANGED, KVUnused, KVUnused)                                                \
    X(2047, KVM_UPDATE_PROGRESS, KVUnused, KVUnused)                                                         \
    X(2048, KVM_OPEN_LAYERS_FILE, const char*, KVUnused)                                                     \
    X(2049, KVM_LAYERS_IMPORTED, KVUnused, KVUnused)

// The standard messages that the Linux layers deliver, under the numbers the window system gave them.
#define KV_STANDARD_MESSAGES(X)                                                                              \
    X(2, KVM_DESTROY, KVUnused, KVUnused)                                                                    \
    X(16, KVM_CLOSE, KVUnused, KVUnused)                                                                     \
    X(17, KVM_QUERY_END_SESSION, KVUnused, KVUnused)                                                         \
    X(22, KVM_END_SESSION, unsigned, KVUnused)                                                               \
    X(74, KVM_COPYDATA, KVUnused, const struct KVCopyData*)                                                  \
    X(273, KVM_COMMAND, unsigned, KVUnused)                                                                  \
    X(536, KVM_POWER, unsigned, KVUnused)                                                                    \
    X(537, KVM_DEVICE_CHANGE, unsigned, KVUnused)                                                            \
    X(689, KVM_SESSION_CHANGE, unsigned, KVUnused)                                                           \
    X(49152, KVM_TRAY_RECREATED, KVUnused, KVUnused)

enum KVMessageId : KVMessage {
#define KV_MESSAGE_ENUM(number, name, W, L) name = number,
    KV_STANDARD_MESSAGES(KV_MESSAGE_ENUM) KV_PRIVATE_MESSAGES(KV_MESSAGE_ENUM)
#undef KV_MESSAGE_ENUM
};

constexpr KVMessage kFirstPrivateMessage = 2025;
constexpr KVMessage kLastPrivateMessage = 2049;

// wParam of KVM_POWER.
enum KVPowerEvent : unsigned { KV_POWER_SUSPEND = 4, KV_POWER_RESUME_SUSPEND = 7 };

// Command numbers of KVM_COMMAND that the dispatch itself answers.
enum KVDispatchCommand : unsigned { KV_COMMAND_EXIT = 8, KV_COMMAND_SHOW_MAIN_WINDOW = 9 };

// The data-copy record: a message number and a payload that the receiver may read during the call only.
struct KVCopyData {
    KVMessage dwData;
    size_t cbData;
    const void* lpData;
};

template <KVMessage M> struct KVMessageParams;
#define KV_MESSAGE_PARAMS(number, name, WT, LT)                                                              \
    template <> struct KVMessageParams<number> {                                                             \
        using W = WT;                                                                                        \
        using L = LT;                                                                                        \
    };
KV_STANDARD_MESSAGES(KV_MESSAGE_PARAMS)
KV_PRIVATE_MESSAGES(KV_MESSAGE_PARAMS)
#undef KV_MESSAGE_PARAMS

// "KVM_KEY_EVENT" for 2045; the number as text for a message without a name.
std::string_view kvMessageName(KVMessage message);
