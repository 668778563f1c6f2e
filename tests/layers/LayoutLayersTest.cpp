#include "layers/LayoutLayers.h"

#include "device/KeyTables.h"
#include "images/KVImage.h"
#include "images/KVTextRenderer.h"
#include "layers/LabelProperties.h"
#include "layers/Layer.h"
#include "layers/LayerCake.h"
#include "store/PropertyNode.h"
#include "system/FakeLayoutSystem.h"
#include "system/KeyboardLayouts.h"

#include <gtest/gtest.h>

namespace {

unsigned key(std::string_view name) {
    return *corvane::device::findKeyByName(KeyboardModelMain, name);
}

std::vector<std::string> identifiers(const KVLayersItem& group) {
    std::vector<std::string> result;
    for (const auto& child : group.children())
        result.push_back(child->identifier());
    return result;
}

const KVLayer& layerAt(const KVLayersItem& group, std::size_t index) {
    return dynamic_cast<const KVLayer&>(*group.children().items().at(index));
}

class LayoutLayersTest : public ::testing::Test {
protected:
    KVPtr<KVConditionEnvironment> environment = std::make_shared<KVConditionEnvironment>();
    FakeLayoutSystem system;
    KVKeyboardLayouts catalogue{system, nullptr};
    KVTextRenderer renderer;
    KVLayoutLayers layoutLayers{catalogue, renderer, environment};
    KVLayerCake cake{KVLayerLoadContext{environment, nullptr}};

    void setUp(std::vector<KVXkbLayoutName> layouts) {
        system.layouts = std::move(layouts);
        cake.setUpSystemLayers("/nonexistent", layoutLayers.builder());
    }
};

} // namespace

// One group per layout, each with its caption layers, the control buttons last.
TEST_F(LayoutLayersTest, GroupsAreBuiltOnceNewLayoutsSlotInRemovedOnesGo) {
    setUp({{"us", ""}, {"de", ""}});
    auto systemLayers = cake.systemLayers();
    const auto usGroup = systemLayers->children().find("04090409");
    const auto deGroup = systemLayers->children().find("04070407");
    EXPECT_EQ(identifiers(*usGroup), (std::vector<std::string>{"EN-sl", "EN-l", "EN-s", "EN-Main", "EN-n"}));
    EXPECT_EQ(identifiers(*deGroup),
              (std::vector<std::string>{"DE-sl", "DE-ac", "DE-l", "DE-s", "DE-Main", "DE-n"}));
    const auto& q = layerAt(*usGroup, 3).binding(key("Q"));
    // Under its caption Q still types Q: the keyboard's own code for it (HID usage 0x14), not the set-1
    // scan code 0x10, which the keyboard would send as another key.
    EXPECT_EQ(q.scanCode, 0x14);
    ASSERT_TRUE(q.image);
    EXPECT_TRUE(q.image->isChanged()) << "new to the profile: the next save writes it";
    // Something of the user's in the background group, without a language condition.
    auto mine = std::make_shared<KVLayer>();
    mine->setIdentifier("mine");
    systemLayers->items().insert(1, mine);

    setUp({{"us", ""}, {"ru", ""}, {"de", ""}});
    EXPECT_EQ(identifiers(*systemLayers),
              (std::vector<std::string>{"04090409", "04190419", "mine", "04070407", "control_buttons"}));
    EXPECT_EQ(systemLayers->children().find("04090409"), usGroup);

    // A layout that is gone loses its group at the next start; the rest stays, control buttons last.
    setUp({{"ru", ""}, {"us", ""}});
    EXPECT_EQ(identifiers(*systemLayers),
              (std::vector<std::string>{"04090409", "04190419", "mine", "control_buttons"}));
}

// A stored group is kept at the next start while its layout is installed and goes when it is not; the look
// given to its captions comes back when the layout's group is made again at a later start.
TEST_F(LayoutLayersTest, StoredGroupsFollowTheInstalledLayoutsAndCaptionLooksComeBack) {
    setUp({{"us", ""}, {"de", ""}});
    auto& german = const_cast<KVLayer&>(layerAt(*cake.systemLayers()->children().find("04070407"), 4));
    ASSERT_EQ(german.identifier(), "DE-Main");
    KVLabelStyle look;
    look.bold = true;
    look.color = 0x00FFFF;
    german.binding(key("Q")).properties = corvane::layers::withLabelStyle(nullptr, look);
    const auto restart = [&](KVLayerCake& before, KVLayerCake& after, std::vector<KVXkbLayoutName> layouts) {
        auto root = KVPropertyNode::create("root");
        before.saveLayers(*root);
        after.loadLayers(root->findChild("Layers"));
        system.layouts = std::move(layouts);
    };

    KVLayerCake next{KVLayerLoadContext{environment, nullptr}};
    restart(cake, next, {{"us", ""}});
    const auto storedUs = next.systemLayers()->children().find("04090409");
    ASSERT_TRUE(storedUs);
    next.setUpSystemLayers("/nonexistent", layoutLayers.builder());
    EXPECT_EQ(identifiers(*next.systemLayers()), (std::vector<std::string>{"04090409", "control_buttons"}));
    EXPECT_EQ(next.systemLayers()->children().find("04090409"), storedUs);

    KVLayerCake third{KVLayerLoadContext{environment, nullptr}};
    restart(next, third, {{"us", ""}, {"de", ""}});
    third.setUpSystemLayers("/nonexistent", layoutLayers.builder());
    const auto& again = layerAt(*third.systemLayers()->children().find("04070407"), 4);
    const auto& restored = again.binding(key("Q"));
    EXPECT_TRUE(corvane::layers::labelStyleOf(restored).bold);
    ASSERT_TRUE(restored.image);
    EXPECT_TRUE(restored.image->samePixels(*renderer.RenderLabel(restored.keystroke, look)));
    EXPECT_TRUE(restored.image->isChanged());
    EXPECT_FALSE(again.binding(key("W")).properties) << "other captions keep the plain look";
    ASSERT_TRUE(third.systemLayers()->properties());
    EXPECT_FALSE(third.systemLayers()->properties()->findChild("CaptionLooks"))
        << "taken back, so not applied a second time";
}
