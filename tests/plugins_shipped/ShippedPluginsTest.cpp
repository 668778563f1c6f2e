// Every shipped library against its own description: the interface version it exports, and a
// factory answer for each sub-plug-in its Info.plist offers, and none for others.
#include "FakeHost.h"
#include "store/PropertyListReader.h"

#include <gtest/gtest.h>

using namespace corvane_test;

namespace {

constexpr const char* shipped[] = {"Clock", "Launcher", "SystemMonitor", "Timer", "TimeOfDay"};

IKVPluginObject* create(const PluginLibrary& library, const std::string& kind, const char* id, FakeView& view,
                        FakeAction& action, FakeCondition& condition) {
    if (kind == "Views")
        return library.createView(id, view);
    if (kind == "Actions")
        return library.createAction(id, action);
    return library.createCondition(id, condition);
}

const char* factoryOf(const std::string& kind) {
    return kind == "Views" ? "createView" : kind == "Actions" ? "createAction" : "createCondition";
}

class ShippedPlugin : public testing::TestWithParam<const char*> {};

TEST_P(ShippedPlugin, ExportsItsInterfaceVersionAndCreatesEverySubPluginItDescribesAndNothingElse) {
    std::string name = GetParam();
    PluginLibrary library(name);
    ASSERT_TRUE(library.loaded()) << dlerror();
    const auto* version = library.symbol<const uint32_t*>("corvane_plugin_abi_version");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(*version, CORVANE_PLUGIN_ABI_VERSION);
    auto info = corvane::loadPropertyList(pluginFile(name, "Info.plist"), "Info");
    ASSERT_TRUE(info && !info->children().empty());
    auto plugin = info->children().front();
    EXPECT_EQ(plugin->name(), name);

    for (const std::string kind : {"Views", "Actions", "Conditions"}) {
        auto list = plugin->findChild(kind);
        if (!list)
            continue;
        ASSERT_NE(library.symbol<void*>(factoryOf(kind)), nullptr) << name << " lacks " << factoryOf(kind);
        for (const auto& sub : list->children()) {
            SCOPED_TRACE(name + "/" + sub->name());
            // A pair names a partner that exists in the other list.
            if (auto partner = sub->childValue(kind == "Views" ? "DefaultAction" : "DefaultView");
                !partner.empty()) {
                auto partners = plugin->findChild(kind == "Views" ? "Actions" : "Views");
                EXPECT_TRUE(partners && partners->findChild(partner)) << partner;
            }
            FakeView view;
            FakeAction action;
            FakeCondition condition;
            ObjectGuard object(create(library, kind, sub->name().c_str(), view, action, condition));
            ASSERT_TRUE(object);
            // A panel is offered exactly when the description promises one or takes dropped files.
            EXPECT_EQ(object->vtbl->GetPanel(object.get()) != nullptr,
                      sub->childValue("HasUI") == "true" ||
                          sub->childValue("SupportsFilesDragDrop") == "true");
            EXPECT_FALSE(
                ObjectGuard(create(library, kind, (sub->name() + "x").c_str(), view, action, condition)));
            EXPECT_EQ(create(library, kind, nullptr, view, action, condition), nullptr);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(All, ShippedPlugin, testing::ValuesIn(shipped),
                         [](const testing::TestParamInfo<const char*>& info) { return info.param; });

} // namespace
