#include "layers/ShippedItems.h"

#include "LayersFixture.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace corvane::layers;

namespace {

const std::string kProgramFolder = std::string(CORVANE_BIN_DIR) + "/../lib/corvane";

struct ShippedItemsTest : ::testing::Test, LayersStackFixture {
    void SetUp() override {
        cake.items().add(makeGroup(KVLayerCake::kUserLayersId));
        cake.setUpUserLayers(kProgramFolder);
        cake.setUpSystemLayers(kProgramFolder);
    }
    KVPtr<KVLayer> controlLayer(const std::string& id) const {
        return std::dynamic_pointer_cast<KVLayer>(cake.controlButtons()->children().find(id));
    }
};

// Each lock's lit picture wins over the plain one while that lock is on, and only on its own key; the keypad
// shows what it does with Num Lock off and its digits with Num Lock on, and keeps sending its own codes.
TEST_F(ShippedItemsTest, LockKeysLightTheKeypadFollowsNumLockAndOtherKeysKeepTheirCodes) {
    keyboard.setOpen(true);
    controller.Start();
    const auto setLocks = [&](int32_t mask) {
        hook.setModifiersState(mask);
        dispatch.send<KVM_HOOK_STATE_CHANGED>();
    };
    const auto plain = controlLayer(kControlButtonsKeysId);
    for (auto [id, name, mask] : {std::tuple{"control_buttons_caps_lock", "CapsLock", 16},
                                  std::tuple{"control_buttons_num_lock", "NumLock", 64},
                                  std::tuple{"control_buttons_scroll_lock", "ScrollLock", 128}}) {
        const unsigned key = keyIndex(name);
        setLocks(0);
        EXPECT_EQ(controller.DisplayBinding(key), &plain->binding(key)) << name;
        setLocks(mask);
        const auto lit = controlLayer(id);
        ASSERT_TRUE(lit) << id;
        ASSERT_EQ(controller.DisplayBinding(key), &lit->binding(key)) << name;
        EXPECT_FALSE(lit->binding(key).image->samePixels(*plain->binding(key).image)) << name;
        const unsigned other = keyIndex(mask == 16 ? "NumLock" : "CapsLock");
        EXPECT_EQ(controller.DisplayBinding(other), &plain->binding(other)) << name;
    }

    const auto shown = [&](const std::string& name) -> std::string {
        const KVKeyBinding* binding = controller.DisplayBinding(keyIndex(name));
        if (!binding || !binding->image)
            return {};
        EXPECT_EQ(binding->scanCode, 0) << name << " must keep sending its own code";
        return binding->keystroke;
    };
    setLocks(0);
    const std::pair<const char*, const char*> keypad[] = {
        {"Keypad7", "Home"}, {"Keypad8", "\u2191"}, {"Keypad0", "Ins"}, {"KeypadDot", "Del"}};
    for (const auto& [name, caption] : keypad)
        EXPECT_EQ(shown(name), caption) << name;
    // The middle key does nothing without Num Lock; it must not keep showing its digit.
    EXPECT_NE(shown("Keypad5"), "");
    EXPECT_NE(shown("Keypad5"), "5");
    setLocks(64);
    for (int digit = 0; digit <= 9; ++digit)
        EXPECT_EQ(shown("Keypad" + std::to_string(digit)), std::to_string(digit));
    EXPECT_EQ(shown("KeypadDot"), ".");

    // Keys without a character carry a caption and keep their code; character keys are left to the
    // keyboard layout's captions.
    const auto defaults =
        std::static_pointer_cast<KVLayer>(cake.userLayers()->children().find(KVLayerCake::kDefaultButtonsId));
    std::istringstream expected("Escape PrintScreen Pause Backspace Tab Return ShiftLeft CtrlRight CmdLeft "
                                "AltRight Insert PageDown UpArrow KeypadDivide KeypadEnter F1 F12 L1 L10");
    for (std::string name; expected >> name;) {
        const unsigned index = keyIndex(name);
        const auto& binding =
            name[0] == 'L' && name.size() <= 3 ? defaults->binding(index) : plain->binding(index);
        ASSERT_TRUE(binding.image) << name;
        EXPECT_FALSE(binding.keystroke.empty()) << name;
        EXPECT_EQ(binding.scanCode, 0) << name << " must keep sending its own code";
        EXPECT_FALSE(binding.actionPlugin) << name;
    }
    for (const char* name : {"A", "1", "Spacebar", "Comma"}) {
        EXPECT_FALSE(plain->binding(keyIndex(name)).isSet()) << name;
        EXPECT_FALSE(defaults->binding(keyIndex(name)).isSet()) << name;
    }
}

} // namespace
