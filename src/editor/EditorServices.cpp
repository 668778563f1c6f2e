#include "editor/EditorServices.h"

#include "core/MessageDispatch.h"
#include "core/ServiceRegistry.h"
#include "devicectl/DeviceController.h"
#include "layers/LayerCake.h"
#include "layers/LayersController.h"
#include "plugins/PluginRegistry.h"
#include "shell/MainController.h"
#include "system/ApplicationsController.h"
#include "system/KeyboardLayouts.h"
#include "update/FirmwareUpdateController.h"

#include <stdexcept>
#include <typeinfo>

namespace {

template <class T> T& required(const KVServiceRegistry& registry) {
    if (T* service = registry.find<T>())
        return *service;
    throw std::logic_error(std::string("the editor needs a service that is not there: ") + typeid(T).name());
}

} // namespace

KVEditorServices KVEditorServices::from(const KVServiceRegistry& registry) {
    return KVEditorServices{
        .dispatch = required<CKVMessageDispatch>(registry),
        .cake = required<KVLayerCake>(registry),
        .layers = required<KVLayersController>(registry),
        .plugins = required<KVPluginRegistry>(registry),
        .applications = required<KVSysApplicationsController>(registry),
        .layouts = required<KVKeyboardLayouts>(registry),
        .device = required<KVDeviceController>(registry),
        .updates = required<KVFirmwareUpdateController>(registry),
        .main = required<KVMainController>(registry),
    };
}
