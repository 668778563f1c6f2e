/*
 * Corvane configurator plug-in interface.
 *
 * A plug-in is a shared library in its own folder, <Plugins>/<Name>/<Name>.so, described by
 * <Plugins>/<Name>/Info.plist. It exports `corvane_plugin_abi_version` and at least one of the factories
 * `createView`, `createAction` and `createCondition`. Every interface is a table of function pointers;
 * every operation takes its own interface pointer first. Strings are zero-terminated UTF-8.
 *
 * Versioning: the major version changes when a table changes incompatibly; the minor version grows when
 * operations are appended at the end of a table. The configurator uses a library only when its major
 * version equals the configurator's and its minor version is not newer, so a plug-in may call every
 * operation of the minor version it was built with, and the configurator calls a plug-in's appended
 * operations only when the plug-in's minor version has them.
 *
 * Threads: the configurator calls a plug-in on its main thread. A plug-in may call `Update` (views) and
 * `SetState` (conditions) from any thread; every other context operation only from within a call that
 * the configurator made into the plug-in.
 *
 * This header is plain C99 and usable from C++.
 */
#ifndef CORVANE_PLUGIN_H
#define CORVANE_PLUGIN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define CORVANE_PLUGIN_ABI_VERSION_MAJOR 1u
#define CORVANE_PLUGIN_ABI_VERSION_MINOR 0u
#define CORVANE_PLUGIN_ABI_VERSION                                                                           \
    ((CORVANE_PLUGIN_ABI_VERSION_MAJOR << 16) | CORVANE_PLUGIN_ABI_VERSION_MINOR)

/* Every text buffer handed to `GetProperty`, `GetItemPath` and `GetItemName` has this many bytes. The
 * configurator copies at most CORVANE_PLUGIN_BUFFER_CHARS characters, never splits a character, and
 * always terminates the text. */
#define CORVANE_PLUGIN_BUFFER_SIZE 2048
#define CORVANE_PLUGIN_BUFFER_CHARS 512

/* The side of a key display in pixels. */
#define CORVANE_KEY_SIZE 48

#if defined(_WIN32)
#define CORVANE_PLUGIN_EXPORT __declspec(dllexport)
#else
#define CORVANE_PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

typedef struct IKVPluginContext IKVPluginContext;
typedef struct IKVViewPluginContext IKVViewPluginContext;
typedef struct IKVActionPluginContext IKVActionPluginContext;
typedef struct IKVConditionPluginContext IKVConditionPluginContext;
typedef struct IKVPluginObject IKVPluginObject;
typedef struct IKVPluginPanel IKVPluginPanel;

/* What a view draws into: CORVANE_KEY_SIZE x CORVANE_KEY_SIZE pixels of 32-bit premultiplied ARGB in
 * native byte order (Cairo's CAIRO_FORMAT_ARGB32, Qt's QImage::Format_ARGB32_Premultiplied), rows top
 * down, `stride` bytes apart. Owned by the configurator; valid from `Start` until the object is
 * destroyed. */
typedef struct KVPluginCanvas {
    uint32_t* pixels;
    int32_t width;
    int32_t height;
    int32_t stride;
} KVPluginCanvas;

/* Operations every context offers, in this order, at the start of every context table. */
#define CORVANE_PLUGIN_CONTEXT_OPERATIONS(Self)                                                              \
    /* Stores key = value in the instance's settings, which are saved with the configuration. Ignored        \
     * when either is null. */                                                                               \
    void (*SetProperty)(Self * self, const char* key, const char* value);                                    \
    /* Copies the value stored under `key` into `buffer` (CORVANE_PLUGIN_BUFFER_SIZE bytes) and returns      \
     * 1; returns 0 with an empty buffer when there is none, 0 when key or buffer is null. */                \
    int32_t (*GetProperty)(Self * self, const char* key, char* buffer);                                      \
    /* The storage folder of the layer (or, for a condition, the layer or group) that holds this             \
     * instance; an empty text when there is none. */                                                        \
    void (*GetItemPath)(Self * self, char* buffer);                                                          \
    /* The display name of that layer or group. */                                                           \
    void (*GetItemName)(Self * self, char* buffer);                                                          \
    /* The plug-in lets go of the instance: the configurator no longer keeps it alive for the plug-in. */    \
    void (*Release)(Self * self);

typedef struct IKVPluginContextVtbl {
    CORVANE_PLUGIN_CONTEXT_OPERATIONS(IKVPluginContext)
} IKVPluginContextVtbl;
struct IKVPluginContext {
    const IKVPluginContextVtbl* vtbl;
};

typedef struct IKVViewPluginContextVtbl {
    CORVANE_PLUGIN_CONTEXT_OPERATIONS(IKVViewPluginContext)
    /* The object of the action bound to the same key of the same layer when it comes from the same
     * plug-in; null otherwise. */
    IKVPluginObject* (*GetPairedActionObject)(IKVViewPluginContext* self);
    /* The key's row (0-5) and column (0-22) on the keyboard, and the top-left corner of its display in
     * a drawing of the whole keyboard with 48-pixel keys. */
    uint8_t (*GetKeyRow)(IKVViewPluginContext* self);
    uint8_t (*GetKeyColumn)(IKVViewPluginContext* self);
    uint16_t (*GetKeyX)(IKVViewPluginContext* self);
    uint16_t (*GetKeyY)(IKVViewPluginContext* self);
    /* The canvas to draw into; null before the view is started. */
    KVPluginCanvas* (*GetCanvas)(IKVViewPluginContext* self);
    /* Publishes the canvas: the key shows what it holds now. May be called from any thread. */
    void (*Update)(IKVViewPluginContext* self);
} IKVViewPluginContextVtbl;
struct IKVViewPluginContext {
    const IKVViewPluginContextVtbl* vtbl;
};

typedef struct IKVActionPluginContextVtbl {
    CORVANE_PLUGIN_CONTEXT_OPERATIONS(IKVActionPluginContext)
    /* The object of the view bound to the same key of the same layer when it comes from the same
     * plug-in; null otherwise. */
    IKVPluginObject* (*GetPairedViewObject)(IKVActionPluginContext* self);
} IKVActionPluginContextVtbl;
struct IKVActionPluginContext {
    const IKVActionPluginContextVtbl* vtbl;
};

typedef struct IKVConditionPluginContextVtbl {
    CORVANE_PLUGIN_CONTEXT_OPERATIONS(IKVConditionPluginContext)
    /* Reports the condition's result: 1 holds, any other value does not. A change makes the
     * configurator evaluate its layers again. May be called from any thread. */
    void (*SetState)(IKVConditionPluginContext* self, int32_t state);
} IKVConditionPluginContextVtbl;
struct IKVConditionPluginContext {
    const IKVConditionPluginContextVtbl* vtbl;
};

#undef CORVANE_PLUGIN_CONTEXT_OPERATIONS

/* What a factory returns; implemented by the plug-in. Embed it as the first member of your own object
 * to find that object again from the pointer the configurator passes back. */
typedef struct IKVPluginObjectVtbl {
    /* The settings panel of this object, or null when it has none. */
    IKVPluginPanel* (*GetPanel)(IKVPluginObject* self);
    /* The instance goes: free the object. No call reaches it afterwards. */
    void (*Destroy)(IKVPluginObject* self);
    /* Action: the key went down. View: the canvas is ready; draw and call Update. */
    void (*Start)(IKVPluginObject* self);
    /* Action: the key went up. */
    void (*Stop)(IKVPluginObject* self);
} IKVPluginObjectVtbl;
struct IKVPluginObject {
    const IKVPluginObjectVtbl* vtbl;
};

/* A settings panel; implemented by the plug-in. */
typedef struct IKVPluginPanelVtbl {
    /* Creates the panel inside `parent` (a QWidget*, so a plug-in offering a panel links Qt 6 Widgets)
     * and returns the panel widget, or null for none. */
    void* (*CreatePanel)(IKVPluginPanel* self, void* parent);
    void (*DestroyPanel)(IKVPluginPanel* self);
    /* A file was dropped onto the key or typed as its picture path; return 1 to accept it. */
    int32_t (*DropFile)(IKVPluginPanel* self, const char* path);
} IKVPluginPanelVtbl;
struct IKVPluginPanel {
    const IKVPluginPanelVtbl* vtbl;
};

/* The factories. Each gets the sub-plug-in's identity from Info.plist and the instance's context, and
 * returns a new object or null. A library exports those it needs. */
typedef IKVPluginObject* (*KVCreateViewFunction)(const char* subPluginId, IKVViewPluginContext* context);
typedef IKVPluginObject* (*KVCreateActionFunction)(const char* subPluginId, IKVActionPluginContext* context);
typedef IKVPluginObject* (*KVCreateConditionFunction)(const char* subPluginId,
                                                      IKVConditionPluginContext* context);

CORVANE_PLUGIN_EXPORT IKVPluginObject* createView(const char* subPluginId, IKVViewPluginContext* context);
CORVANE_PLUGIN_EXPORT IKVPluginObject* createAction(const char* subPluginId, IKVActionPluginContext* context);
CORVANE_PLUGIN_EXPORT IKVPluginObject* createCondition(const char* subPluginId,
                                                       IKVConditionPluginContext* context);

/* The interface version the library was built with. Define it once per library with
 * CORVANE_PLUGIN_DEFINE_ABI_VERSION; a library without it is not used. */
CORVANE_PLUGIN_EXPORT extern const uint32_t corvane_plugin_abi_version;
#ifdef __cplusplus
#define CORVANE_PLUGIN_DEFINE_ABI_VERSION                                                                    \
    extern "C" const uint32_t corvane_plugin_abi_version = CORVANE_PLUGIN_ABI_VERSION
#else
#define CORVANE_PLUGIN_DEFINE_ABI_VERSION                                                                    \
    const uint32_t corvane_plugin_abi_version = CORVANE_PLUGIN_ABI_VERSION
#endif

#ifdef __cplusplus
}
#endif

#endif /* CORVANE_PLUGIN_H */
