#pragma once

#include "core/MessageDispatch.h"
#include "device/KeyImage.h"
#include "device/KeyStateReport.h"
#include "device/KeyTables.h"
#include "device/TestFolder.h"
#include "device/VirtualKeyboard.h"
#include "device/VirtualKeyboardBackend.h"
#include "devicectl/Device.h"
#include "devicectl/DeviceController.h"
#include "support/ManualLoop.h"

#include <algorithm>
#include <fmt/format.h>
#include <map>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

// The layer stack as the device controller sees it: a binding per key, set by the test.
struct FakeDisplayBindings final : IKVDisplayBindings {
    std::optional<KVDeviceBinding> DisplayBinding(unsigned key) override {
        ++lookups;
        const auto found = bindings.find(key);
        return found == bindings.end() ? std::nullopt : std::optional(found->second);
    }
    KVPluginBitmap PublishedBitmap(KVViewPluginInstance* instance) override {
        return instance == publishingInstance ? published : KVPluginBitmap{};
    }
    std::map<unsigned, KVDeviceBinding> bindings;
    KVViewPluginInstance* publishingInstance = nullptr;
    KVPluginBitmap published;
    unsigned lookups = 0;
};

struct FakeIdleSource final : IKVIdleSource {
    std::optional<std::chrono::milliseconds> IdleTime() override { return idle; }
    std::optional<std::chrono::milliseconds> idle;
};

using RecordedMessage = std::tuple<KVMessage, unsigned, int>; // the message and its two arguments

// A virtual keyboard in a scratch folder, the controller and the device on a hand-driven loop.
class DeviceRig {
public:
    explicit DeviceRig(bool keyStateInterface = true) {
        // Every message the device sends, in order; registered before the controller, so seen first.
        dispatch.RegisterHandler<KVM_DEVICE_MODIFIERS_CHANGED>(this, &DeviceRig::onModifiers);
        dispatch.RegisterHandler<KVM_DEVICE_STATE>(this, &DeviceRig::onState);
        dispatch.RegisterHandler<KVM_KEY_EVENT>(this, &DeviceRig::onKey);
        corvane::device::virtualkbd::createVirtualKeyboard(folder.path(), "TavirexV0.76b", KeyboardModelMain);
        // Without the key-state interface keys report through signatures. A folder where its socket would
        // go keeps it from opening, as another program holding it would.
        if (!keyStateInterface)
            std::filesystem::create_directory(folder.path() / corvane::device::virtualkbd::kKeyStateSocket);
        backend = std::make_shared<KVVirtualKeyboardBackend>(folder.path());
        controller = std::make_unique<KVDeviceController>(loop, dispatch, bindings, idle);
    }
    ~DeviceRig() { dispatch.UnregisterHandlers(this); }
    void onModifiers(unsigned mask) { messages.push_back({KVM_DEVICE_MODIFIERS_CHANGED, mask, 0}); }
    void onState(unsigned state) { messages.push_back({KVM_DEVICE_STATE, state, 0}); }
    void onKey(unsigned key, int state) { messages.push_back({KVM_KEY_EVENT, key, state}); }
    // Creates the device and connects; the writer has written everything when this returns.
    bool connect() {
        device = std::make_unique<KVDevice>(*controller, backend, loop, dispatch);
        const bool connected = device->ConnectAtStartUp();
        settle();
        return connected;
    }
    void settle() {
        if (device)
            device->Keyboard().WaitForWriter();
    }
    // Sends a message and waits until the writer has written what it caused.
    template <KVMessage M, typename... Args> void post(Args... args) {
        dispatch.send<M>(args...);
        settle();
    }
    bool runUntil(const std::function<bool()>& done) { return loop.runUntil(done, std::chrono::seconds(5)); }
    // Sends a key-state report with these keys held.
    bool sendKeys(std::initializer_list<unsigned> down) const {
        corvane::device::KeyStateReport report{};
        for (unsigned key : down)
            corvane::device::setKeyInReport(KeyboardModelMain, key, true, report);
        return corvane::device::virtualkbd::sendVirtualReport(
            folder.path(), corvane::device::virtualkbd::kKeyStateSocket, report);
    }

    std::vector<uint8_t> read(const std::string& relative) const { return folder.read(relative); }
    std::vector<uint8_t> displayFile(unsigned display) const {
        return read(fmt::format("vTavirex/dynamic/{:03d}.sys", display));
    }
    size_t displayFileCount() const {
        return size_t(std::distance(std::filesystem::directory_iterator(folder.path() / "vTavirex/dynamic"),
                                    std::filesystem::directory_iterator()));
    }
    // The command in order.sys, up to its terminating zero.
    std::string command() const {
        const auto bytes = read("vTavirex/order.sys");
        return {bytes.begin(), std::find(bytes.begin(), bytes.end(), 0)};
    }
    unsigned commandWrites() {
        return device->Keyboard().FileSet()->entry(KVDeviceFileSet::CommandEntry).writeCount();
    }
    // The record of a main-keyboard key in the written scancode.sys.
    std::vector<uint8_t> record(unsigned key) const {
        const auto table = read("vTavirex/scancode.sys");
        const size_t offset = (corvane::device::modelDescriptor(KeyboardModelMain).keys[key].slot - 1) * 64u;
        if (table.size() < offset + 64)
            return {};
        return {table.begin() + long(offset), table.begin() + long(offset + 64)};
    }

    TestKeyboardFolder folder;
    KVManualLoop loop;
    CKVMessageDispatch dispatch{loop};
    std::vector<RecordedMessage> messages;
    KVPtr<FakeDisplayBindings> bindings = std::make_shared<FakeDisplayBindings>();
    KVPtr<FakeIdleSource> idle = std::make_shared<FakeIdleSource>();
    KVPtr<IKVDeviceBackend> backend;
    // The device goes first, then the controller it is attached to.
    std::unique_ptr<KVDeviceController> controller;
    std::unique_ptr<KVDevice> device;
};

// A 48 x 48 picture whose bytes differ from each other and from those of other seeds, so that a turned
// display shows.
inline KVPtr<KVImage> keyPicture(uint8_t seed) {
    auto image = std::make_shared<KVImage>(48, 48);
    std::ranges::generate(image->pixels(),
                          [n = 0u, step = 7u + seed]() mutable { return uint8_t(n += step); });
    return image;
}

// Pixels as the display file holds them.
inline std::vector<uint8_t> converted(std::span<const uint8_t> pixels, unsigned bytesPerPixel = 3,
                                      bool turned = false) {
    corvane::device::KeyImageFile file;
    corvane::device::convertKeyImage(pixels, bytesPerPixel, turned, file);
    return {file.begin(), file.end()};
}

inline std::vector<uint8_t> recordOf(std::initializer_list<uint8_t> bytes) {
    std::vector<uint8_t> record(64, 0xFF);
    std::copy(bytes.begin(), bytes.end(), record.begin());
    return record;
}
