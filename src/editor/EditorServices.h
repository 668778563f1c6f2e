#pragma once

class CKVMessageDispatch;
class KVDeviceController;
class KVFirmwareUpdateController;
class KVKeyboardLayouts;
class KVLayerCake;
class KVLayersController;
class KVMainController;
class KVPluginRegistry;
class KVServiceRegistry;
class KVSysApplicationsController;

// What the editor's windows work through. The controllers own the model and the selection; the windows
// read them through their lookups, change them only through their operations (undoable where the
// controllers record steps) and learn of changes through the dispatch. All of it outlives the editor.
struct KVEditorServices {
    CKVMessageDispatch& dispatch;
    KVLayerCake& cake;
    KVLayersController& layers;
    KVPluginRegistry& plugins;
    KVSysApplicationsController& applications;
    KVKeyboardLayouts& layouts;
    KVDeviceController& device;
    KVFirmwareUpdateController& updates;
    // Saving, archives, the keyboard dump and the picture editor.
    KVMainController& main;

    // Throws std::logic_error when a service is missing: the editor opens only after start-up.
    static KVEditorServices from(const KVServiceRegistry& registry);
};
