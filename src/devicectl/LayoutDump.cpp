#include "devicectl/LayoutDump.h"

#include "core/Log.h"
#include "devicectl/Device.h"
#include "devicectl/LayersDisplayBindings.h"
#include "layers/LayerCake.h"
#include "layers/LayersController.h"

namespace {

constexpr const char* kLockVariants[] = {"control_buttons_num_lock", "control_buttons_caps_lock",
                                         "control_buttons_scroll_lock"};

KVCompositeLayer lockVariantsFirst(const KVLayerCake& cake, const KVCompositeLayer& display) {
    KVCompositeLayer composite;
    if (const auto controls = cake.controlButtons())
        for (const char* identifier : kLockVariants)
            if (auto layer = std::dynamic_pointer_cast<KVLayer>(controls->children().find(identifier)))
                composite.append(layer);
    composite.appendAll(display);
    return composite;
}

KVBindingLookup lookupIn(const KVCompositeLayer& composite) {
    return [&composite](unsigned key) -> std::optional<KVDeviceBinding> {
        const KVKeyBinding* binding = composite.binding(key);
        return binding ? std::optional(deviceBindingOf(*binding)) : std::nullopt;
    };
}

} // namespace

corvane::layers::KVArchiveStatus DumpTavirexLayout(KVDevice& device, const KVLayersController& layers,
                                                   const KVLayerCake& cake,
                                                   const std::filesystem::path& folder) {
    const auto display = layers.DisplayComposition();
    const KVCompositeLayer shift = lockVariantsFirst(cake, *display);
    if (!device.DumpKeyboardFiles(lookupIn(*display), lookupIn(shift), folder)) {
        corvane::logger("devicectl").error("the keyboard files cannot be written below {}", folder.string());
        return corvane::layers::KVArchiveStatus::failure("the folders below " + folder.string() +
                                                         " cannot be created");
    }
    corvane::logger("devicectl").info("the keyboard files were written below {}", folder.string());
    return corvane::layers::KVArchiveStatus::success();
}
