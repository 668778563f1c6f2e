#pragma once

#include "plugins/PluginInfo.h"

#include <dlfcn.h>
#include <string>

// The plug-ins the tests built (tests/plugins/fixtures), and their test hooks.
inline std::string testPluginPath(const std::string& name) {
    return std::string(CORVANE_TEST_PLUGINS_DIR) + "/" + name + "/" + name + ".so";
}

inline KVPtr<KVPluginInfo> testPlugin(const std::string& name) {
    return std::make_shared<KVPluginInfo>(name, testPluginPath(name));
}

// A hook the plug-in exports for tests, null while its library is not loaded.
template <class F> F testHook(const std::string& name, const char* hook) {
    void* module = ::dlopen(testPluginPath(name).c_str(), RTLD_NOW | RTLD_NOLOAD);
    auto function = module ? reinterpret_cast<F>(::dlsym(module, hook)) : nullptr;
    if (module)
        ::dlclose(module); // only drops the reference NOLOAD took
    return function;
}

inline int testCounter(const std::string& plugin, const char* counter) {
    auto read = testHook<int (*)(const char*)>(plugin, "corvane_test_counter");
    return read ? read(counter) : -1;
}
