#pragma once

#include "core/KVPtr.h"

#include <QString>
#include <functional>
#include <span>
#include <string>
#include <vector>

class KVLayer;
struct KVKeyBinding;
struct KVEditorServices;

// What the key panels edit: the selected keys of the edited layer, changed through the layer editing
// operations, several keys as one undoable step.
namespace corvane::editor {

// The edited item when it is a layer; empty for a group or no selection.
KVPtr<KVLayer> editedLayer(const KVEditorServices& services);
// The selected keys that a layer has, ascending.
std::vector<unsigned> selectedKeys(const KVEditorServices& services);
// The binding of the first selected key of the edited layer; null when there is none.
const KVKeyBinding* firstSelectedBinding(const KVEditorServices& services);

// "F5" for one key, "3 keys" for several.
QString keysText(std::span<const unsigned> keys);

// Runs `change` for each of `keys` of the edited layer as one step of the history under `text`, then
// tells the editor's windows that bindings changed. Answers whether any key changed.
bool editKeys(KVEditorServices& services, std::span<const unsigned> keys, const std::string& text,
              const std::function<bool(const KVPtr<KVLayer>& layer, unsigned key)>& change);

} // namespace corvane::editor
