#include "editor/KeyEdits.h"

#include "core/MessageDispatch.h"
#include "editor/EditorServices.h"
#include "layers/KeyNames.h"
#include "layers/Layer.h"
#include "layers/LayersController.h"

#include <QObject>

namespace corvane::editor {

KVPtr<KVLayer> editedLayer(const KVEditorServices& services) {
    return std::dynamic_pointer_cast<KVLayer>(services.layers.EditedItem());
}

std::vector<unsigned> selectedKeys(const KVEditorServices& services) {
    std::vector<unsigned> keys;
    const auto& selection = services.layers.SelectedKeys();
    for (unsigned key = 0; key < corvane::layers::kLayerKeyCount; ++key)
        if (selection.test(key))
            keys.push_back(key);
    return keys;
}

const KVKeyBinding* firstSelectedBinding(const KVEditorServices& services) {
    const auto layer = editedLayer(services);
    const auto keys = selectedKeys(services);
    if (!layer || keys.empty())
        return nullptr;
    return &layer->binding(keys.front());
}

QString keysText(std::span<const unsigned> keys) {
    if (keys.size() == 1)
        return QString::fromUtf8(corvane::layers::keyName(keys.front()));
    return QObject::tr("%1 keys").arg(keys.size());
}

bool editKeys(KVEditorServices& services, std::span<const unsigned> keys, const std::string& text,
              const std::function<bool(const KVPtr<KVLayer>& layer, unsigned key)>& change) {
    const auto layer = editedLayer(services);
    if (!layer || keys.empty())
        return false;
    auto& editing = services.layers.Editing();
    bool changed = false;
    editing.BeginMacro(text);
    for (const unsigned key : keys)
        changed = change(layer, key) || changed;
    editing.EndMacro();
    if (changed)
        services.dispatch.send<KVM_KEYS_EDITED>();
    return changed;
}

} // namespace corvane::editor
