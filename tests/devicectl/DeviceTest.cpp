#include "DeviceRig.h"
#include "device/KeyCodeTable.h"
#include "device/KeySignatureDecoder.h"

#include <gtest/gtest.h>

using namespace corvane::device;

namespace {

constexpr unsigned kEscape = 0, kF2 = 2, kF4 = 4, kA = 64, kShiftRight = 93, kKeypadEnter = 112;
constexpr unsigned kEscapeDisplay = 99, kF4Display = 103, kKeypadEnterDisplay = 3;

// Whether the display map switches every display on (1) or off (0).
bool layoutIs(const DeviceRig& rig, uint8_t value) {
    const auto layout = rig.read("vTavirex/layout.sys");
    return layout.size() >= 114 && std::count(layout.begin(), layout.begin() + 114, value) == 114;
}

KVDeviceBinding pictureBinding(KVPtr<KVImage> picture, uint8_t scanCode = 0) {
    KVDeviceBinding binding;
    binding.picture = std::move(picture);
    binding.scanCode = scanCode;
    return binding;
}

KVDeviceBinding actionBinding() {
    KVDeviceBinding binding;
    binding.hasActionPlugin = true;
    return binding;
}

} // namespace

TEST(Device, ConnectionWritesEveryBoundKeyAndUpdatesWriteOnlyWhatChanged) {
    DeviceRig rig;
    const auto first = keyPicture(1), second = keyPicture(2);
    auto& keys = rig.bindings->bindings;
    keys[kEscape] = pictureBinding(first);
    keys[kF4] = pictureBinding(second, 0x04); // F4 types "a"
    keys[kKeypadEnter] = pictureBinding(first);
    keys[kA] = actionBinding(); // the key-state interface reports it: no code of its own
    // A picture that cannot go to a display leaves its image alone.
    keys[kF2] = pictureBinding(std::make_shared<KVImage>(32, 48));
    ASSERT_TRUE(rig.connect());

    EXPECT_EQ(rig.messages, (std::vector<RecordedMessage>{{KVM_DEVICE_STATE, 0, 0}}));
    EXPECT_EQ(rig.displayFileCount(), 3u);
    EXPECT_EQ(rig.displayFile(kEscapeDisplay), converted(first->pixels()));
    EXPECT_EQ(rig.displayFile(kF4Display), converted(second->pixels()));
    EXPECT_EQ(rig.displayFile(kKeypadEnterDisplay), converted(first->pixels(), 3, true)); // mounted turned
    EXPECT_EQ(rig.record(kEscape), recordOf({1, 0x29})); // its own default code
    EXPECT_EQ(rig.record(kF2), recordOf({1, 0x3B}));
    EXPECT_EQ(rig.record(kF4), recordOf({1, 0x04}));
    EXPECT_EQ(rig.record(kA), recordOf({}));
    EXPECT_EQ(rig.record(kShiftRight), recordOf({})); // unbound keys send nothing
    EXPECT_TRUE(layoutIs(rig, 1));

    const unsigned writes = rig.device->Keyboard().WritesDone();
    const unsigned lookups = rig.bindings->lookups;
    rig.post<KVM_ACTIVE_LAYERS_CHANGED>();
    EXPECT_EQ(rig.bindings->lookups, lookups + 113);
    EXPECT_EQ(rig.device->Keyboard().WritesDone(), writes);
    // One changed picture writes that display alone.
    keys[kF4].picture = first;
    rig.post<KVM_BINDING_EDITED>();
    EXPECT_EQ(rig.device->Keyboard().WritesDone(), writes + 1);
    EXPECT_EQ(rig.displayFile(kF4Display), converted(first->pixels()));

    // A single key: its picture and its code.
    keys[kEscape] = pictureBinding(second, 0x06);
    rig.post<KVM_KEY_CHANGED>(kEscape);
    EXPECT_EQ(rig.displayFile(kEscapeDisplay), converted(second->pixels()));
    EXPECT_EQ(rig.record(kEscape), recordOf({1, 0x06}));
    EXPECT_EQ(rig.device->Keyboard().WritesDone(), writes + 3);
    // The next full update with the first picture again must not take it for what the key still shows.
    keys[kEscape] = pictureBinding(first);
    rig.post<KVM_ACTIVE_LAYERS_CHANGED>();
    EXPECT_EQ(rig.displayFile(kEscapeDisplay), converted(first->pixels()));
    // A plug-in's bitmap of the wrong size is refused.
    EXPECT_FALSE(rig.device->SetKeyBitmap(kEscape, {48, 47, 32, std::vector<uint8_t>(48 * 48 * 4)}));
}

TEST(Device, KeysHeldOnTheKeyboardCountAsModifiersByWhatTheyAreMadeToSend) {
    DeviceRig rig;
    auto& keys = rig.bindings->bindings;
    keys[kEscape] = pictureBinding(nullptr, 0x73); // Escape sends left Shift
    keys[kShiftRight] = KVDeviceBinding{};
    ASSERT_TRUE(rig.connect());
    auto& messages = rig.messages;
    const auto press = [&](std::initializer_list<unsigned> held, size_t messagesThen) {
        ASSERT_TRUE(rig.sendKeys(held));
        ASSERT_TRUE(rig.runUntil([&] { return messages.size() >= messagesThen; }));
    };
    messages.clear();
    press({kEscape}, 2);
    EXPECT_EQ(rig.device->KeyboardModifierMask(), 4u);
    // The other Shift held and the first let go: still Shift, and no message for it.
    press({kEscape, kShiftRight}, 3);
    press({kShiftRight}, 4);
    rig.loop.runOnce(std::chrono::milliseconds(50));
    EXPECT_EQ(messages, (std::vector<RecordedMessage>{{KVM_KEY_EVENT, kEscape, 1},
                                                      {KVM_DEVICE_MODIFIERS_CHANGED, 4, 0},
                                                      {KVM_KEY_EVENT, kShiftRight, 1},
                                                      {KVM_KEY_EVENT, kEscape, 0}}));
    EXPECT_EQ(rig.device->DeviceModifierMask(), 4u);

    // Taking Shift away from a held key by an update changes the mask without a message: the next
    // evaluation reads it, and the next key event announces what is different from then on.
    keys[kShiftRight] = pictureBinding(nullptr, 0x04);
    rig.dispatch.send<KVM_ACTIVE_LAYERS_CHANGED>();
    EXPECT_EQ(rig.device->KeyboardModifierMask(), 0u);
    EXPECT_EQ(
        std::ranges::count(messages, KVM_DEVICE_MODIFIERS_CHANGED, [](auto& m) { return std::get<0>(m); }),
        1);

    // Pulled out with a modifier held: no stale bit, and the release comes before the disconnection.
    keys[kShiftRight] = KVDeviceBinding{};
    rig.dispatch.send<KVM_ACTIVE_LAYERS_CHANGED>();
    EXPECT_EQ(rig.device->KeyboardModifierMask(), 4u);
    messages.clear();
    rig.device->Keyboard().Disconnect();
    EXPECT_EQ(rig.device->KeyboardModifierMask(), 0u);
    EXPECT_EQ(messages, (std::vector<RecordedMessage>{{KVM_KEY_EVENT, kShiftRight, 0},
                                                      {KVM_DEVICE_MODIFIERS_CHANGED, 0, 0},
                                                      {KVM_DEVICE_STATE, 1, 0}}));
    EXPECT_FALSE(rig.device->IsKeyboardOpen());
}

TEST(Device, GivingTheKeyboardBackRestoresItsCodesAndHoldsPlugInPicturesUntilItIsTakenAgain) {
    DeviceRig rig;
    const auto shipped = rig.read("vTavirex/scancode.sys");
    const auto first = keyPicture(1);
    rig.bindings->bindings[kA] = pictureBinding(keyPicture(2), 0x05);
    rig.bindings->bindings[kEscape] = pictureBinding(first);
    ASSERT_TRUE(rig.connect());
    const auto ours = rig.read("vTavirex/scancode.sys");
    ASSERT_NE(ours, shipped);

    // A view plug-in draws Escape; its new picture comes while the keyboard is given back.
    const std::vector<uint8_t> bits(48 * 48 * 3, 0x40);
    int tag = 0; // only the instance's address counts
    auto* instance = reinterpret_cast<KVViewPluginInstance*>(&tag);
    rig.bindings->publishingInstance = instance;
    rig.bindings->published = {48, 48, 24, bits};
    KVDeviceBinding drawn;
    drawn.hasViewPlugin = true;
    drawn.viewBitmap = rig.bindings->published;

    // Suspend and resume; a shutdown that is called off gives the keyboard back to us as well.
    for (const bool suspend : {true, false}) {
        SCOPED_TRACE(suspend ? "suspend" : "shutdown called off");
        rig.bindings->bindings[kEscape] = pictureBinding(first);
        rig.post<KVM_ACTIVE_LAYERS_CHANGED>();
        rig.bindings->bindings[kEscape] = drawn;
        const unsigned commands = rig.commandWrites();
        if (suspend) // returns once written
            rig.dispatch.send<KVM_POWER>(KV_POWER_SUSPEND);
        else
            rig.dispatch.send<KVM_QUERY_END_SESSION>();
        EXPECT_EQ(rig.read("vTavirex/scancode.sys"), shipped);
        EXPECT_TRUE(layoutIs(rig, 0));
        EXPECT_TRUE(rig.device->IsKeyboardOpen());
        // Layer changes and plug-in pictures while it is given back do not take it again.
        rig.dispatch.send<KVM_ACTIVE_LAYERS_CHANGED>();
        rig.dispatch.send<KVM_KEY_CHANGED>(kA);
        rig.post<KVM_PLUGIN_IMAGE_UPDATED>(instance, kEscape);
        EXPECT_EQ(rig.read("vTavirex/scancode.sys"), shipped);
        EXPECT_EQ(rig.displayFile(kEscapeDisplay), converted(first->pixels()));

        rig.messages.clear();
        if (suspend)
            rig.post<KVM_POWER>(KV_POWER_RESUME_SUSPEND);
        else
            rig.post<KVM_END_SESSION>(0);
        EXPECT_EQ(rig.messages, (std::vector<RecordedMessage>{{KVM_DEVICE_STATE, 0, 0}}));
        EXPECT_EQ(rig.read("vTavirex/scancode.sys"), ours);
        EXPECT_TRUE(layoutIs(rig, 1));
        EXPECT_EQ(rig.displayFile(kEscapeDisplay), converted(bits));
        // Sleep delay and brightness again, each written since each differs from the one before.
        EXPECT_EQ(rig.commandWrites(), commands + 2);
        EXPECT_EQ(rig.command(), "b070");
    }

    // Destroying the device restores the keyboard's own codes and darkens it.
    rig.device.reset();
    EXPECT_EQ(rig.read("vTavirex/scancode.sys"), shipped);
    EXPECT_TRUE(layoutIs(rig, 0));
}

TEST(Device, WithoutTheKeyStateInterfaceActionKeysTypeTheirSignatureAndItsClicksAreRead) {
    DeviceRig rig(false);
    rig.bindings->bindings[kF4] = actionBinding();
    ASSERT_TRUE(rig.connect());
    const auto signature = keySignatureRecord(kF4);
    EXPECT_EQ(rig.record(kF4), std::vector<uint8_t>(signature.begin(), signature.end()));
    ASSERT_TRUE(rig.device->IsSignatureReaderOpen());
    // Clicked, the signature is a press and a release.
    auto& messages = rig.messages;
    messages.clear();
    for (const SignatureReport& report : signatureClickReports(kF4))
        ASSERT_TRUE(virtualkbd::sendVirtualReport(rig.folder.path(), virtualkbd::kStandardSocket, report));
    ASSERT_TRUE(rig.runUntil([&] { return messages.size() >= 2; }));
    rig.loop.runOnce(std::chrono::milliseconds(50));
    EXPECT_EQ(messages, (std::vector<RecordedMessage>{{KVM_KEY_EVENT, kF4, 1}, {KVM_KEY_EVENT, kF4, 0}}));
}

TEST(Device, NothingHappensWithoutAKeyboardAndTheNextConnectionCatchesUp) {
    DeviceRig rig;
    std::filesystem::remove(rig.folder.path() / "vTavirex/version.sys");
    rig.bindings->bindings[kEscape] = pictureBinding(keyPicture(1));
    EXPECT_FALSE(rig.connect());
    rig.dispatch.send<KVM_ACTIVE_LAYERS_CHANGED>();
    rig.dispatch.send<KVM_KEY_CHANGED>(kEscape);
    rig.dispatch.send<KVM_POWER>(KV_POWER_SUSPEND);
    rig.controller->IdleTick();
    EXPECT_EQ(rig.bindings->lookups, 0u);
    EXPECT_EQ(rig.displayFileCount(), 0u);

    // Plugged in: the arrival is noticed on the loop and brings everything up to date.
    virtualkbd::createVirtualKeyboard(rig.folder.path(), "TavirexV0.76b", KeyboardModelMain);
    ASSERT_TRUE(rig.runUntil([&] { return rig.device->IsKeyboardOpen(); }));
    rig.settle();
    EXPECT_EQ(rig.displayFileCount(), 1u);
    EXPECT_EQ(rig.command(), "b070");
}
