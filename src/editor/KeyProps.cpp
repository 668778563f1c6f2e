#include "editor/KeyProps.h"

#include "core/MessageDispatch.h"
#include "editor/EditorServices.h"
#include "editor/PluginProps.h"
#include "editor/ViewProps.h"
#include "layers/Layer.h"
#include "layers/LayersController.h"

#include <QVBoxLayout>

CKVKeyProps::CKVKeyProps(KVEditorServices& services, QWidget* parent)
    : QWidget(parent), m_services(services) {
    setAccessibleName(tr("Key properties"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // The edited item can change or go away with a selection, an undo, a deletion or an import.
    auto& dispatch = m_services.dispatch;
    dispatch.RegisterHandler<KVM_TREE_SELECTION_CHANGED>(this, &CKVKeyProps::OnItemChanged);
    dispatch.RegisterHandler<KVM_KEYS_EDITED>(this, &CKVKeyProps::OnItemChanged);
    dispatch.RegisterHandler<KVM_BINDING_EDITED>(this, &CKVKeyProps::OnItemChanged);
    dispatch.RegisterHandler<KVM_LAYERS_IMPORTED>(this, &CKVKeyProps::OnItemChanged);
    dispatch.RegisterHandler<KVM_LAYERS_FOLDER_CHANGED>(this, &CKVKeyProps::OnItemChanged);
    setVisible(false);
    OnItemChanged();
}

CKVKeyProps::~CKVKeyProps() {
    m_services.dispatch.UnregisterHandlers(this);
}

CKVPluginProps* CKVKeyProps::pluginProps() const {
    return m_kind == Content::Plugins ? static_cast<CKVPluginProps*>(m_content) : nullptr;
}

CKVViewProps* CKVKeyProps::viewProps() const {
    return m_kind == Content::Labels ? static_cast<CKVViewProps*>(m_content) : nullptr;
}

CKVKeyProps::Content CKVKeyProps::contentFor() const {
    const auto layer = std::dynamic_pointer_cast<KVLayer>(m_services.layers.EditedItem());
    // A group binds no keys: there is nothing to edit.
    if (!layer)
        return Content::None;
    return layer->hasFlag(KV_ITEM_BUILT_IN) ? Content::Labels : Content::Plugins;
}

void CKVKeyProps::OnItemChanged() {
    const Content kind = contentFor();
    if (kind == m_kind)
        return;
    // The old content goes first: a plug-in's settings panel must be gone before the new one comes.
    delete m_content;
    m_content = nullptr;
    m_kind = kind;
    if (kind == Content::Labels)
        m_content = new CKVViewProps(m_services, this);
    else if (kind == Content::Plugins)
        m_content = new CKVPluginProps(m_services, this);
    if (m_content)
        layout()->addWidget(m_content);
    setVisible(m_content != nullptr);
}
