// The keyboard driven by the real layer stack: what the layers compose reaches the displays and the key
// table, and a key held on the keyboard that is made to send Shift switches a Shift layer on.
#include "DeviceRig.h"
#include "conditions/ConditionList.h"
#include "conditions/ModifierCondition.h"
#include "devicectl/LayersDisplayBindings.h"
#include "devicectl/LayoutDump.h"
#include "layers/Layer.h"
#include "layers/LayerCake.h"
#include "layers/LayersController.h"
#include "layers/LayersGroup.h"
#include "support/FakeHook.h"

#include <gtest/gtest.h>

using namespace corvane::device;

namespace {

constexpr unsigned kEscape = 0, kF1 = 1, kA = 64;
constexpr unsigned kEscapeDisplay = 99, kF1Display = 100, kADisplay = 83;
constexpr unsigned kEscapeSlot = 8;

KVPtr<KVLayer> makeLayer(const std::string& id) {
    auto layer = std::make_shared<KVLayer>();
    layer->setIdentifier(id);
    layer->setDisplayName(id);
    return layer;
}

void bindKey(KVLayer& layer, unsigned key, KVPtr<KVImage> picture, uint8_t scanCode = 0) {
    layer.binding(key).image = std::move(picture);
    layer.binding(key).scanCode = scanCode;
}

// The services in the order start-up creates them: layers controller, device controller, device.
struct Stack {
    Stack() {
        environment->hook = &hook;
        auto group = std::make_shared<KVLayersGroup>();
        group->setIdentifier(KVLayerCake::kUserLayersId);
        for (const auto& layer : {shifted, top, bottom})
            group->items().add(layer);
        cake.items().add(group);
        rig.controller = std::make_unique<KVDeviceController>(
            rig.loop, rig.dispatch, std::make_shared<KVLayersDisplayBindings>(layers), rig.idle);
        rig.device = std::make_unique<KVDevice>(*rig.controller, rig.backend, rig.loop, rig.dispatch);
        environment->keyboard = rig.device.get();
    }
    ~Stack() {
        environment->keyboard = nullptr;
        rig.device.reset();
    }
    bool showsOn(unsigned display, const KVPtr<KVImage>& picture) {
        return rig.runUntil([&] {
            rig.settle();
            return rig.displayFile(display) == converted(*picture);
        });
    }

    DeviceRig rig;
    KVFakeHook hook;
    KVPtr<KVConditionEnvironment> environment = std::make_shared<KVConditionEnvironment>();
    KVLayerCake cake{KVLayerLoadContext{environment, nullptr}};
    KVLayersController layers{rig.dispatch, cake, environment};
    KVPtr<KVLayer> shifted = makeLayer("shifted"), top = makeLayer("top"), bottom = makeLayer("bottom");
};

} // namespace

TEST(DeviceWithLayers, TheKeyboardShowsTheCompositionItsOwnShiftSwitchesLayersAndTheDumpHoldsTheStack) {
    Stack stack;
    const auto red = keyPicture(255, 0, 0), blue = keyPicture(0, 0, 255), green = keyPicture(0, 255, 0),
               white = keyPicture(255, 255, 255), yellow = keyPicture(255, 255, 0);
    bindKey(*stack.top, kEscape, red, 0x73); // Escape shows red and sends left Shift
    bindKey(*stack.bottom, kEscape, blue);
    bindKey(*stack.bottom, kA, green);
    bindKey(*stack.bottom, kF1, yellow, 0x3B);
    bindKey(*stack.shifted, kA, white);
    corvane::addCondition(stack.shifted->conditions(),
                          std::make_shared<KVModifierCondition>(stack.environment, 4));
    // A lock-key variant among the system layers: only the dump's shift set shows it.
    auto capsLit = makeLayer("control_buttons_caps_lock");
    bindKey(*capsLit, kEscape, white);
    auto controls = std::make_shared<KVLayersGroup>(), system = std::make_shared<KVLayersGroup>();
    controls->setIdentifier(KVLayerCake::kControlButtonsId);
    controls->items().add(capsLit);
    system->setIdentifier(KVLayerCake::kSystemLayersId);
    system->items().add(controls);
    stack.cake.items().add(system);

    stack.layers.Start(); // no keyboard yet: the user's layers wait for it
    ASSERT_TRUE(stack.rig.connect());
    auto& rig = stack.rig;
    EXPECT_EQ(rig.displayFile(kEscapeDisplay), converted(*red)); // the earlier layer wins whole
    EXPECT_EQ(rig.record(kEscape), recordOf({1, 0x73}));
    EXPECT_EQ(rig.displayFile(kADisplay), converted(*green));
    EXPECT_EQ(rig.displayFile(kF1Display), converted(*yellow));
    EXPECT_EQ(rig.record(kF1), recordOf({1, 0x3B}));

    ASSERT_TRUE(DumpTavirexLayout(*rig.device, stack.layers, stack.cake, rig.folder.path() / "dump"));
    const auto dumped = [&](const char* set, unsigned display) {
        return rig.read(fmt::format("dump/Tavirex/{}/{:03d}.sys", set, display));
    };
    EXPECT_EQ(dumped("normal", kEscapeDisplay), converted(*red));
    EXPECT_EQ(dumped("shift", kEscapeDisplay), converted(*white));
    EXPECT_EQ(dumped("shift", kADisplay), converted(*green));
    EXPECT_EQ(rig.read("dump/Tavirex/scancode.sys")[(kEscapeSlot - 1) * 64 + 1], 0x73);
    EXPECT_FALSE(DumpTavirexLayout(*rig.device, stack.layers, stack.cake, "/proc/no/such/place"));

    ASSERT_TRUE(rig.sendKeys({kEscape}));
    EXPECT_TRUE(stack.showsOn(kADisplay, white));
    EXPECT_EQ(rig.device->KeyboardModifierMask(), 4u);
    ASSERT_TRUE(rig.sendKeys({}));
    EXPECT_TRUE(stack.showsOn(kADisplay, green));

    // A layer shown for editing wins on the keyboard: Escape goes blue and sends its own code again.
    stack.layers.ShowForEditing(stack.bottom);
    EXPECT_TRUE(stack.showsOn(kEscapeDisplay, blue));
    EXPECT_EQ(rig.record(kEscape), recordOf({1, 0x29}));
    stack.layers.StopShowing(stack.bottom);
    EXPECT_TRUE(stack.showsOn(kEscapeDisplay, red));
}
