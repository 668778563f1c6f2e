#include "devicectl/Device.h"

#include "core/Log.h"
#include "core/MessageDispatch.h"
#include "device/KeyCodeTable.h"
#include "device/KeyImage.h"
#include "device/KeyStateReport.h"
#include "device/KeyboardDump.h"
#include "devicectl/DeviceController.h"
#include "devicectl/LogindWatcher.h"

#include <algorithm>

using namespace corvane::device;

namespace {

// What a held key adds to the keyboard's modifier mask, by the code its record makes it send.
struct ModifierCode {
    uint8_t code;
    uint32_t bit;
};
constexpr ModifierCode kModifierCodes[] = {
    {0x72, 2}, {0x76, 2}, // left and right Ctrl
    {0x73, 4}, {0x77, 4}, // Shift
    {0x74, 1}, {0x78, 1}, // Alt
    {0x75, 8}, {0x79, 8}, // Win
};

uint32_t modifierBitOfCode(uint8_t code) {
    for (const ModifierCode& modifier : kModifierCodes) {
        if (modifier.code == code)
            return modifier.bit;
    }
    return 0;
}

bool isKeyDown(const KeyStateReport& report, unsigned bit) {
    const unsigned byte = 1 + bit / 8;
    return byte < report.size() && (report[byte] & (1u << (bit % 8))) != 0;
}

// Answers the dump with pictures loaded from their files where a binding holds only the path.
class DumpSource final : public IKVKeyBindingSource {
public:
    explicit DumpSource(const KVBindingLookup& lookup) : m_lookup(lookup) {}
    std::optional<KVKeyBindingView> keyBinding(unsigned key) override {
        const auto binding = m_lookup ? m_lookup(key) : std::nullopt;
        if (!binding)
            return std::nullopt;
        m_picture = binding->picture;
        if (m_picture && !m_picture->isValid() && !m_picture->sourcePath().empty()) {
            m_picture = std::make_shared<KVImage>(*m_picture);
            m_picture->reload();
        }
        return KVKeyBindingView{keyPixels(m_picture), binding->scanCode};
    }

private:
    const KVBindingLookup& m_lookup;
    KVPtr<KVImage> m_picture;
};

} // namespace

KVDevice::KVDevice(KVDeviceController& controller, KVPtr<IKVDeviceBackend> backend, KVMainLoop& loop,
                   CKVMessageDispatch& dispatch)
    : m_controller(controller), m_backend(backend), m_loop(loop), m_dispatch(dispatch),
      m_keyboard(std::make_unique<CTavirexCorvane>(backend, &loop)),
      m_signatures(std::make_unique<KVHIDDevice>(&loop, [this](unsigned key) { OnKeyClick(key); })) {
    m_keyboard->SetEventHandler(this);
    m_dispatch.RegisterHandler<KVM_QUERY_END_SESSION>(this, &KVDevice::OnQueryEndSession);
    m_dispatch.RegisterHandler<KVM_END_SESSION>(this, &KVDevice::OnEndSession);
    m_dispatch.RegisterHandler<KVM_POWER>(this, &KVDevice::OnPowerBroadcast);
    if (!m_keyboard->StartMonitoring())
        corvane::logger("devicectl")
            .warn("no arrival and removal notifications; a keyboard plugged in later is not seen");
    m_controller.AttachDevice(this);
}

KVDevice::~KVDevice() {
    m_sessionWatcher.reset();
    m_dispatch.UnregisterHandlers(this);
    m_controller.AttachDevice(nullptr);
    // Both threads call back into this object: neither may outlive it. The keyboard's handler is
    // cleared (waiting for a callback in progress) and the reader stopped before the keyboard gets its
    // own codes and dark displays back and its writer stops.
    m_keyboard->SetEventHandler(nullptr);
    m_signatures.reset();
    m_keyboard.reset();
}

bool KVDevice::ConnectAtStartUp() {
    if (m_keyboard->Connect())
        return true;
    corvane::logger("devicectl").info("no keyboard at start-up; waiting for one to be plugged in");
    return false;
}

bool KVDevice::WatchSession(const std::string& busAddress) {
    m_sessionWatcher = std::make_unique<KVLogindWatcher>(m_loop, m_dispatch);
    if (m_sessionWatcher->Start(busAddress))
        return true;
    m_sessionWatcher.reset();
    return false;
}

// --- callbacks -------------------------------------------------------------------------------------

void KVDevice::OnConnected() {
    m_released = false;
    m_stagedPictures.assign(m_keyboard->Descriptor().keyCount, {});
    // Without the key-state interface, keys with action plug-ins report through signatures on the
    // standard interface. Opened at every connection, so a keyboard plugged in later gets it too.
    const DeviceInfo& device = m_keyboard->CurrentDevice();
    if (!m_keyboard->IsKeyStateOpen() && !device.firstHidPath.empty() &&
        !m_signatures->Open(*m_backend, device.firstHidPath))
        corvane::logger("devicectl").warn("cannot read key signatures from {}", device.firstHidPath);
    m_dispatch.send<KVM_DEVICE_STATE>(Connected);
}

void KVDevice::OnDisconnected() {
    m_signatures->Close();
    m_stagedPictures.clear();
    m_modifierMask = 0;
    m_dispatch.send<KVM_DEVICE_STATE>(Disconnected);
}

void KVDevice::OnKeyDown(unsigned key) {
    keyEvent(key, true);
}

void KVDevice::OnKeyUp(unsigned key) {
    keyEvent(key, false);
}

void KVDevice::keyEvent(unsigned key, bool pressed) {
    // The key's action runs before conditions look at the modifiers again.
    m_loop.send([&] {
        m_dispatch.send<KVM_KEY_EVENT>(key, pressed ? 1 : 0);
        updateModifierMask(true);
    });
}

void KVDevice::OnKeyClick(unsigned key) {
    // A signature tells only that the key was clicked: a press and a release, no modifier change.
    m_loop.send([&] {
        m_dispatch.send<KVM_KEY_EVENT>(key, 1);
        m_dispatch.send<KVM_KEY_EVENT>(key, 0);
    });
}

void KVDevice::updateModifierMask(bool announce) {
    const uint32_t mask = DeviceModifierMask();
    if (m_modifierMask.exchange(mask) != mask && announce)
        m_dispatch.send<KVM_DEVICE_MODIFIERS_CHANGED>(mask);
}

uint32_t KVDevice::DeviceModifierMask() {
    KVDeviceFileSet* files = m_keyboard->FileSet();
    if (!files || !m_keyboard->IsKeyStateOpen())
        return 0;
    const KeyStateReport report = m_keyboard->LastKeyStateReport();
    const ModelDescriptor& model = files->descriptor();
    const auto table = files->currentTable();
    uint32_t mask = 0;
    for (unsigned key = 0; key < model.keyCount; ++key) {
        // The report's bit of the key, which on the auxiliary keypad is not the key number.
        if (!isKeyDown(report, stateBitForKey(files->model(), key)))
            continue;
        const auto record = tableRecord(table, model.keys[key].slot);
        if (record.size() >= 2 && record[0] == uint8_t(RecordOp::SendKey))
            mask |= modifierBitOfCode(record[1]);
    }
    return mask;
}

// --- updates ---------------------------------------------------------------------------------------

void KVDevice::FullUpdate(const KVBindingLookup& bindings) {
    KVDeviceFileSet* files = m_keyboard->FileSet();
    // Given back for suspend or shutdown: layer changes meanwhile must not take it again.
    if (!files || !bindings || m_released)
        return;
    const auto table = files->currentTable();
    std::fill(table.begin(), table.end(), kRecordFill);
    const bool keyStateOpen = m_keyboard->IsKeyStateOpen();
    const ModelDescriptor& model = files->descriptor();
    bool imagesChanged = false;
    for (unsigned key = 0; key < model.keyCount; ++key) {
        const std::optional<KVDeviceBinding> binding = bindings(key);
        if (!binding)
            continue; // the display keeps its image, the key sends nothing
        // A binding without a picture (or a view plug-in that has published nothing) leaves the
        // display's previous image on the keyboard.
        if (binding->hasViewPlugin) {
            if (isKeyBitmap(binding->viewBitmap))
                imagesChanged |= stagePicture(*files, key, binding->viewBitmap.bits,
                                              unsigned(binding->viewBitmap.bitsPerPixel / 8));
        } else if (const auto pixels = keyPixels(binding->picture); !pixels.empty()) {
            imagesChanged |= stagePicture(*files, key, pixels, 3);
        } else if (binding->picture && binding->picture->isValid()) {
            corvane::logger("devicectl")
                .warn("the picture of key {} is {} x {}, not 48 x 48; not shown", key,
                      binding->picture->width(), binding->picture->height());
        }
        const KeyDescriptor& descriptor = model.keys[key];
        if (binding->hasActionPlugin) {
            // With the key-state interface the key is reported as it is and sends nothing itself;
            // without it, it types its signature for the standard interface to read.
            if (!keyStateOpen)
                setTableRecord(table, descriptor.slot, keySignatureRecord(key));
        } else {
            const uint8_t code = binding->scanCode != 0 ? binding->scanCode : descriptor.keyCode;
            if (code != 0)
                setTableRecord(table, descriptor.slot, keyCodeRecord(code));
        }
    }
    const bool tableChanged = files->stageKeyCodeTable();
    // Always: staging answers whether there is something to write, and a table staged back to what the
    // keyboard holds says no even though it differs from the one the mask was computed from.
    updateModifierMask(false);
    if (tableChanged || imagesChanged)
        m_keyboard->WakeWriter();
}

bool KVDevice::stagePicture(KVDeviceFileSet& files, unsigned key, std::span<const uint8_t> pixels,
                            unsigned bytesPerPixel) {
    pixels = pixels.first(size_t(kDisplaySide) * kDisplaySide * bytesPerPixel);
    if (key >= m_stagedPictures.size())
        return files.stageKeyImage(key, pixels, bytesPerPixel);
    // Comparing the source costs a fraction of converting it, and most keys stay as they were.
    std::vector<uint8_t>& staged = m_stagedPictures[key];
    if (std::equal(pixels.begin(), pixels.end(), staged.begin(), staged.end()))
        return false;
    staged.assign(pixels.begin(), pixels.end());
    return files.stageKeyImage(key, pixels, bytesPerPixel);
}

void KVDevice::forgetStagedPicture(unsigned key) {
    if (key < m_stagedPictures.size())
        m_stagedPictures[key].clear();
}

void KVDevice::UpdateKey(const KVDeviceBinding& binding, unsigned key) {
    KVDeviceFileSet* files = m_keyboard->FileSet();
    if (!files || m_released || key >= files->descriptor().keyCount)
        return;
    if (binding.hasViewPlugin) {
        SetKeyBitmap(key, binding.viewBitmap);
    } else if (const auto pixels = keyPixels(binding.picture); !pixels.empty()) {
        forgetStagedPicture(key);
        m_keyboard->SetKeyImage24(key, pixels);
    }
    if (binding.hasActionPlugin) {
        if (m_keyboard->IsKeyStateOpen()) {
            m_keyboard->SetKeyCode(key, 0);
        } else {
            setTableRecord(files->currentTable(), files->descriptor().keys[key].slot,
                           keySignatureRecord(key));
            if (files->stageKeyCodeTable())
                m_keyboard->WakeWriter();
        }
    } else {
        m_keyboard->SetKeyCode(key, binding.scanCode != 0 ? binding.scanCode
                                                          : files->descriptor().keys[key].keyCode);
    }
    updateModifierMask(false);
}

bool KVDevice::SetKeyBitmap(unsigned key, const KVPluginBitmap& bitmap) {
    if (!isKeyBitmap(bitmap))
        return false;
    // Given back: the picture waits for the full update at resume, which reads the plug-in's latest.
    if (m_released)
        return true;
    forgetStagedPicture(key);
    return bitmap.bitsPerPixel == 24 ? m_keyboard->SetKeyImage24(key, bitmap.bits)
                                     : m_keyboard->SetKeyImage32(key, bitmap.bits);
}

bool KVDevice::DumpKeyboardFiles(const KVBindingLookup& normal, const KVBindingLookup& shift,
                                 const std::filesystem::path& folder) {
    DumpSource normalSource(normal);
    DumpSource shiftSource(shift);
    return corvane::device::DumpKeyboardFiles(normalSource, shiftSource, folder);
}

// --- power and session -----------------------------------------------------------------------------

void KVDevice::releaseKeyboard() {
    if (!m_keyboard->IsConnected())
        return;
    m_keyboard->RestoreKeyCodes();
    m_keyboard->SetDisplaysActive(false);
    // Suspend and shutdown wait for this: the keyboard must hold its own codes before we stop.
    m_keyboard->WaitForWriter();
    m_released = true;
}

void KVDevice::takeKeyboardBack() {
    m_released = false;
    if (!m_keyboard->IsConnected())
        return;
    m_keyboard->SetDisplaysActive(true);
    // The settings go out again and a full update follows.
    m_dispatch.send<KVM_DEVICE_STATE>(Connected);
}

void KVDevice::OnPowerBroadcast(unsigned event) {
    if (event == KV_POWER_SUSPEND)
        releaseKeyboard();
    else if (event == KV_POWER_RESUME_SUSPEND)
        takeKeyboardBack();
}

void KVDevice::OnQueryEndSession() {
    releaseKeyboard();
}

void KVDevice::OnEndSession(unsigned ending) {
    if (ending != 0)
        releaseKeyboard();
    else if (m_released)
        takeKeyboardBack(); // the end was called off: the user keeps working with this keyboard
}
