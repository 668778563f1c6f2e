// A stand-in for the configurator's side of the plug-in interface: loads a shipped plug-in library and
// hands its factories contexts that keep properties in a map, draw into a 48 x 48 canvas, and record
// every published picture.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <corvane/plugin.h>
#include <cstring>
#include <dlfcn.h>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace corvane_test {

using Picture = std::vector<uint32_t>;

// Where the build put a shipped plug-in: <Plugins>/<Name>/<Name>.so beside its Info.plist.
inline std::string pluginFile(const std::string& name, const std::string& file) {
    return std::string(CORVANE_PLUGINS_DIR) + "/" + name + "/" + file;
}

inline constexpr auto red = [](uint32_t pixel) {
    return (pixel >> 16 & 0xff) > 200 && (pixel >> 8 & 0xff) < 60;
};
inline constexpr auto white = [](uint32_t pixel) { return (pixel & 0xffffff) == 0xffffff; };
inline constexpr auto black = [](uint32_t pixel) { return (pixel & 0xffffff) == 0; };
inline bool anyLit(const Picture& picture) {
    return !std::all_of(picture.begin(), picture.end(), black);
}

// What every fake context shares. The plug-in gets the address of `link`, which leads back here.
template <class Interface, class Table> struct FakeContext {
    struct Link {
        Interface interface;
        FakeContext* owner;
    } link{{}, this};
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::string, std::string> properties;

    Interface* self() { return &link.interface; }
    std::string get(const std::string& key) {
        std::lock_guard lock(mutex);
        return properties.count(key) ? properties[key] : std::string();
    }
    // Waits until `done` holds (checked under the lock), for a generous while.
    bool waitUntil(const std::function<bool()>& done) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(20), done);
    }

    template <class Fake> static Fake* of(Interface* self) {
        return static_cast<Fake*>(reinterpret_cast<Link*>(self)->owner);
    }
    // The five operations every context starts with, then the kind's own.
    template <class... Own> static Table table(Own... own) {
        return Table{[](Interface* self, const char* key, const char* value) {
                         if (key != nullptr && value != nullptr) {
                             std::lock_guard lock(of<FakeContext>(self)->mutex);
                             of<FakeContext>(self)->properties[key] = value;
                         }
                     },
                     [](Interface* self, const char* key, char* buffer) -> int32_t {
                         if (key == nullptr || buffer == nullptr)
                             return 0;
                         buffer[0] = '\0';
                         std::string value = of<FakeContext>(self)->get(key);
                         std::strncat(buffer, value.c_str(), CORVANE_PLUGIN_BUFFER_SIZE - 1);
                         return value.empty() ? 0 : 1;
                     },
                     [](Interface*, char* buffer) { buffer[0] = '\0'; },
                     [](Interface*, char* buffer) { buffer[0] = '\0'; },
                     [](Interface*) {},
                     own...};
    }
};

struct FakeView : FakeContext<IKVViewPluginContext, IKVViewPluginContextVtbl> {
    uint32_t pixels[CORVANE_KEY_SIZE * CORVANE_KEY_SIZE] = {};
    KVPluginCanvas canvas{pixels, CORVANE_KEY_SIZE, CORVANE_KEY_SIZE, CORVANE_KEY_SIZE * 4};
    bool started = false;
    IKVPluginObject* pairedAction = nullptr;
    std::vector<Picture> pictures; // one per Update, in order

    FakeView() {
        static const auto vtbl =
            table([](IKVViewPluginContext* self) { return of<FakeView>(self)->pairedAction; },
                  [](IKVViewPluginContext*) -> uint8_t { return 0; },
                  [](IKVViewPluginContext*) -> uint8_t { return 2; },
                  [](IKVViewPluginContext*) -> uint16_t { return 136; },
                  [](IKVViewPluginContext*) -> uint16_t { return 11; },
                  [](IKVViewPluginContext* self) -> KVPluginCanvas* {
                      return of<FakeView>(self)->started ? &of<FakeView>(self)->canvas : nullptr;
                  },
                  [](IKVViewPluginContext* self) {
                      FakeView* view = of<FakeView>(self);
                      std::lock_guard lock(view->mutex);
                      view->pictures.emplace_back(std::begin(view->pixels), std::end(view->pixels));
                      view->changed.notify_all();
                  });
        link.interface.vtbl = &vtbl;
    }
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

struct FakeAction : FakeContext<IKVActionPluginContext, IKVActionPluginContextVtbl> {
    IKVPluginObject* pairedView = nullptr;
    FakeAction() {
        static const auto vtbl =
            table([](IKVActionPluginContext* self) { return of<FakeAction>(self)->pairedView; });
        link.interface.vtbl = &vtbl;
    }
};

struct FakeCondition : FakeContext<IKVConditionPluginContext, IKVConditionPluginContextVtbl> {
    FakeCondition() {
        static const auto vtbl = table([](IKVConditionPluginContext*, int32_t) {});
        link.interface.vtbl = &vtbl;
    }
};

class PluginLibrary {
public:
    explicit PluginLibrary(const std::string& name)
        : handle_(dlopen(pluginFile(name, name + ".so").c_str(), RTLD_NOW | RTLD_LOCAL)) {}
    ~PluginLibrary() {
        if (handle_ != nullptr)
            dlclose(handle_);
    }
    bool loaded() const { return handle_ != nullptr; }
    template <class T> T symbol(const char* name) const { return reinterpret_cast<T>(dlsym(handle_, name)); }
    IKVPluginObject* createView(const char* id, FakeView& view) const {
        return symbol<KVCreateViewFunction>("createView")(id, view.self());
    }
    IKVPluginObject* createAction(const char* id, FakeAction& action) const {
        return symbol<KVCreateActionFunction>("createAction")(id, action.self());
    }
    IKVPluginObject* createCondition(const char* id, FakeCondition& condition) const {
        return symbol<KVCreateConditionFunction>("createCondition")(id, condition.self());
    }

private:
    void* handle_;
};

struct DestroyObject {
    void operator()(IKVPluginObject* object) const { object->vtbl->Destroy(object); }
};
// Owns a plug-in object and destroys it, as the configurator does when the instance goes.
using ObjectGuard = std::unique_ptr<IKVPluginObject, DestroyObject>;

} // namespace corvane_test
