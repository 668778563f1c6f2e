// A stand-in for the configurator's side of the plug-in interface: loads a shipped plug-in library and
// hands its factories contexts that keep properties in a map, draw into a 48 x 48 canvas, and record
// every published picture and reported state.
#pragma once

#include <chrono>
#include <condition_variable>
#include <corvane/plugin.h>
#include <cstring>
#include <dlfcn.h>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace corvane_test {

using Picture = std::vector<uint32_t>;

// Where the build put a shipped plug-in's files: <Plugins>/<Name>/<file>.
inline std::string pluginFile(const std::string& name, const std::string& file) {
    return std::string(CORVANE_PLUGINS_DIR) + "/" + name + "/" + file;
}
inline std::string pluginLibrary(const std::string& name) {
    return pluginFile(name, name + ".so");
}

inline bool red(uint32_t pixel) {
    return (pixel >> 16 & 0xff) > 200 && (pixel >> 8 & 0xff) < 60;
}
inline bool white(uint32_t pixel) {
    return (pixel & 0xffffff) == 0xffffff;
}
inline bool black(uint32_t pixel) {
    return (pixel & 0xffffff) == 0;
}
inline bool anyLit(const Picture& picture) {
    for (uint32_t pixel : picture)
        if (!black(pixel))
            return true;
    return false;
}

struct FakeView;
struct FakeAction;
struct FakeCondition;

class PluginLibrary {
public:
    explicit PluginLibrary(const std::string& name)
        : handle_(dlopen(pluginLibrary(name).c_str(), RTLD_NOW | RTLD_LOCAL)) {}
    ~PluginLibrary() {
        if (handle_ != nullptr)
            dlclose(handle_);
    }
    bool loaded() const { return handle_ != nullptr; }
    IKVPluginObject* createView(const char* id, FakeView& view) const;
    IKVPluginObject* createAction(const char* id, FakeAction& action) const;
    IKVPluginObject* createCondition(const char* id, FakeCondition& condition) const;
    template <class T> T symbol(const char* name) const { return reinterpret_cast<T>(dlsym(handle_, name)); }
    uint32_t abiVersion() const {
        auto* version = symbol<const uint32_t*>("corvane_plugin_abi_version");
        return version != nullptr ? *version : 0;
    }

private:
    void* handle_;
};

// What every fake context shares. The plug-in gets the address of `link`, which leads back here.
template <class Interface> struct FakeContext {
    struct Link {
        Interface interface;
        FakeContext* owner;
    };
    Link link{{}, this};
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::string, std::string> properties;

    Interface* self() { return &link.interface; }
    std::string get(const std::string& key) {
        std::lock_guard lock(mutex);
        return properties.count(key) ? properties[key] : std::string();
    }
    // Waits until `done` holds (checked under the lock) or a generous limit passes.
    bool waitUntil(const std::function<bool()>& done, std::chrono::seconds limit = std::chrono::seconds(20)) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, done);
    }

    static FakeContext* of(Interface* self) { return reinterpret_cast<Link*>(self)->owner; }
    static void setProperty(Interface* self, const char* key, const char* value) {
        if (key == nullptr || value == nullptr)
            return;
        std::lock_guard lock(of(self)->mutex);
        of(self)->properties[key] = value;
    }
    static int32_t getProperty(Interface* self, const char* key, char* buffer) {
        if (key == nullptr || buffer == nullptr)
            return 0;
        buffer[0] = '\0';
        std::lock_guard lock(of(self)->mutex);
        auto found = of(self)->properties.find(key);
        if (found == of(self)->properties.end())
            return 0;
        std::strncat(buffer, found->second.c_str(), CORVANE_PLUGIN_BUFFER_SIZE - 1);
        return 1;
    }
    static void noItem(Interface*, char* buffer) { buffer[0] = '\0'; }
    static void release(Interface*) {}
};

struct FakeView : FakeContext<IKVViewPluginContext> {
    FakeView();
    uint32_t pixels[CORVANE_KEY_SIZE * CORVANE_KEY_SIZE] = {};
    KVPluginCanvas canvas{pixels, CORVANE_KEY_SIZE, CORVANE_KEY_SIZE, CORVANE_KEY_SIZE * 4};
    bool started = false;
    IKVPluginObject* pairedAction = nullptr;
    std::vector<Picture> pictures; // one per Update, in order

    size_t pictureCount() {
        std::lock_guard lock(mutex);
        return pictures.size();
    }
    Picture lastPicture() {
        std::lock_guard lock(mutex);
        return pictures.empty() ? Picture() : pictures.back();
    }
    // The object's Start with the canvas ready, as the configurator starts a view.
    void start(IKVPluginObject* object) {
        started = true;
        object->vtbl->Start(object);
    }
};

struct FakeAction : FakeContext<IKVActionPluginContext> {
    FakeAction();
    IKVPluginObject* pairedView = nullptr;
};

struct FakeCondition : FakeContext<IKVConditionPluginContext> {
    FakeCondition();
    std::vector<int32_t> states; // every SetState, in order
};

inline FakeView::FakeView() {
    using Base = FakeContext<IKVViewPluginContext>;
    static const IKVViewPluginContextVtbl table{
        Base::setProperty,
        Base::getProperty,
        Base::noItem,
        Base::noItem,
        Base::release,
        [](IKVViewPluginContext* self) { return static_cast<FakeView*>(Base::of(self))->pairedAction; },
        [](IKVViewPluginContext*) -> uint8_t { return 2; },
        [](IKVViewPluginContext*) -> uint8_t { return 3; },
        [](IKVViewPluginContext*) -> uint16_t { return 188; },
        [](IKVViewPluginContext*) -> uint16_t { return 11; },
        [](IKVViewPluginContext* self) -> KVPluginCanvas* {
            auto* view = static_cast<FakeView*>(Base::of(self));
            return view->started ? &view->canvas : nullptr;
        },
        [](IKVViewPluginContext* self) {
            auto* view = static_cast<FakeView*>(Base::of(self));
            std::lock_guard lock(view->mutex);
            view->pictures.emplace_back(std::begin(view->pixels), std::end(view->pixels));
            view->changed.notify_all();
        }};
    link.interface.vtbl = &table;
}

inline FakeAction::FakeAction() {
    using Base = FakeContext<IKVActionPluginContext>;
    static const IKVActionPluginContextVtbl table{
        Base::setProperty,
        Base::getProperty,
        Base::noItem,
        Base::noItem,
        Base::release,
        [](IKVActionPluginContext* self) { return static_cast<FakeAction*>(Base::of(self))->pairedView; }};
    link.interface.vtbl = &table;
}

inline FakeCondition::FakeCondition() {
    using Base = FakeContext<IKVConditionPluginContext>;
    static const IKVConditionPluginContextVtbl table{Base::setProperty,
                                                     Base::getProperty,
                                                     Base::noItem,
                                                     Base::noItem,
                                                     Base::release,
                                                     [](IKVConditionPluginContext* self, int32_t state) {
                                                         auto* condition =
                                                             static_cast<FakeCondition*>(Base::of(self));
                                                         std::lock_guard lock(condition->mutex);
                                                         condition->states.push_back(state);
                                                         condition->changed.notify_all();
                                                     }};
    link.interface.vtbl = &table;
}

inline IKVPluginObject* PluginLibrary::createView(const char* id, FakeView& view) const {
    return symbol<KVCreateViewFunction>("createView")(id, view.self());
}
inline IKVPluginObject* PluginLibrary::createAction(const char* id, FakeAction& action) const {
    return symbol<KVCreateActionFunction>("createAction")(id, action.self());
}
inline IKVPluginObject* PluginLibrary::createCondition(const char* id, FakeCondition& condition) const {
    return symbol<KVCreateConditionFunction>("createCondition")(id, condition.self());
}

// Owns a plug-in object and destroys it, as the configurator does when the instance goes.
struct ObjectGuard {
    IKVPluginObject* object;
    ObjectGuard(IKVPluginObject* created) : object(created) {}
    ObjectGuard(const ObjectGuard&) = delete;
    ObjectGuard& operator=(const ObjectGuard&) = delete;
    ~ObjectGuard() { destroy(); }
    void destroy() {
        if (object != nullptr)
            object->vtbl->Destroy(object);
        object = nullptr;
    }
    IKVPluginObject* operator->() const { return object; }
    explicit operator bool() const { return object != nullptr; }
};

} // namespace corvane_test
