#include "editor/PluginProps.h"

#include "core/MessageDispatch.h"
#include "editor/ChainIcon.h"
#include "editor/EditorServices.h"
#include "editor/EditorStatus.h"
#include "editor/KeyEdits.h"
#include "editor/KeyPreview.h"
#include "editor/MultimediaKeys.h"
#include "images/LoadKeyImage.h"
#include "layers/Layer.h"
#include "layers/LayersController.h"
#include "plugins/PluginRegistry.h"
#include "plugins/ViewPluginInstance.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

using corvane::editor::keysText;

CKVPluginProps::CKVPluginProps(KVEditorServices& services, QWidget* parent)
    : QWidget(parent), m_services(services) {
    // Made in reading order, which is the order Tab goes: display, chain, action.
    m_display = new CKVDisplayProps(services, this);
    m_preview = new CKVKeyPreview(this);
    m_chain = new QToolButton(this);
    m_chain->setCheckable(true);
    m_chain->setChecked(true);
    m_chain->setAutoRaise(true);
    m_chain->setIcon(corvane::editor::chainIcon(palette()));
    m_chain->setToolTip(tr("Selecting this chain, relative pair of view and action plugins will "
                           "synchronize when you select either of them"));
    m_chain->setAccessibleName(tr("Chain view and action"));
    m_chain->setFocusPolicy(Qt::StrongFocus);
    m_action = new CKVActionProps(services, this);

    auto* middle = new QVBoxLayout;
    middle->addWidget(m_preview, 0, Qt::AlignHCenter);
    middle->addWidget(m_chain, 0, Qt::AlignHCenter);
    middle->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_display, 1);
    layout->addLayout(middle);
    layout->addWidget(m_action, 1);

    connect(m_chain, &QToolButton::toggled, this, [this](bool on) {
        corvane::editor::showStatus(this, on ? tr("A plugin's view and action are chosen together")
                                             : tr("Views and actions are chosen apart"));
    });
    m_display->onChoice([this](const KVPluginChoice& choice) { chooseDisplay(choice); });
    m_action->onChoice([this](const KVPluginChoice& choice) { chooseAction(choice); });
    m_action->onVerb([this](const KVVerbChoice& verb) { chooseVerb(verb); });

    auto& dispatch = m_services.dispatch;
    dispatch.RegisterHandler<KVM_KEY_SELECTION_CHANGED>(this, &CKVPluginProps::refresh);
    dispatch.RegisterHandler<KVM_TREE_SELECTION_CHANGED>(this, &CKVPluginProps::refresh);
    dispatch.RegisterHandler<KVM_KEYS_EDITED>(this, &CKVPluginProps::refresh);
    dispatch.RegisterHandler<KVM_BINDING_EDITED>(this, &CKVPluginProps::refresh);
    dispatch.RegisterHandler<KVM_PLUGIN_IMAGE_UPDATED>(this, &CKVPluginProps::OnPluginImageUpdated);
    refresh();
}

CKVPluginProps::~CKVPluginProps() {
    m_services.dispatch.UnregisterHandlers(this);
}

void CKVPluginProps::refresh() {
    m_display->refresh();
    m_action->refresh();
    m_preview->showBinding(corvane::editor::firstSelectedBinding(m_services));
}

void CKVPluginProps::OnPluginImageUpdated(KVViewPluginInstance* instance, unsigned) {
    const auto* binding = corvane::editor::firstSelectedBinding(m_services);
    if (binding && binding->viewPlugin.get() == instance)
        m_preview->showBinding(binding);
}

void CKVPluginProps::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        m_chain->setIcon(corvane::editor::chainIcon(palette()));
    QWidget::changeEvent(event);
}

std::optional<KVPluginChoice> CKVPluginProps::chained(const CKVCommonPluginProps& from,
                                                      const KVPluginChoice& choice) const {
    if (!m_chain->isChecked() || choice.isBuiltIn())
        return std::nullopt;
    const auto info = from.subPlugin(choice);
    if (!info || info->pairedId.empty())
        return std::nullopt;
    const auto otherKind =
        from.kind() == KVSubPluginKind::View ? KVSubPluginKind::Action : KVSubPluginKind::View;
    if (!m_services.plugins.findSubPlugin(otherKind, choice.pluginId, info->pairedId))
        return std::nullopt;
    return KVPluginChoice{choice.pluginId, info->pairedId};
}

bool CKVPluginProps::usable(const CKVCommonPluginProps& panel, const KVPluginChoice& choice) {
    if (choice.isBuiltIn())
        return true;
    const auto plugin = m_services.plugins.find(choice.pluginId);
    const bool loaded = plugin && plugin->ensureLoaded() && plugin->isUsable();
    const auto& entries = loaded ? plugin->entryPoints() : KVPluginEntryPoints{};
    if (panel.kind() == KVSubPluginKind::View ? entries.createView != nullptr
                                              : entries.createAction != nullptr)
        return true;
    const QString why = plugin && !plugin->loadError().empty() ? QString::fromStdString(plugin->loadError())
                                                               : tr("it offers no such plugin");
    corvane::editor::showStatus(this, tr("%1 cannot be used: %2").arg(panel.choiceName(choice), why));
    return false;
}

void CKVPluginProps::choose(CKVCommonPluginProps& panel, CKVCommonPluginProps& other,
                            const KVPluginChoice& choice, const char* what) {
    const auto keys = corvane::editor::selectedKeys(m_services);
    if (keys.empty() || !usable(panel, choice))
        return;
    auto paired = chained(panel, choice);
    if (paired && !usable(other, *paired))
        paired.reset();
    const std::string text = std::string(what) + " of " + keysText(keys).toStdString();
    const bool changed =
        corvane::editor::editKeys(m_services, keys, text, [&](const KVPtr<KVLayer>& layer, unsigned key) {
            bool done = panel.setChoice(layer, key, choice);
            if (paired)
                done = other.setChoice(layer, key, *paired) || done;
            return done;
        });
    refresh();
    if (!changed)
        return;
    QString status = tr("%1: %2").arg(keysText(keys), panel.choiceName(choice));
    if (paired)
        status += tr(", with %1").arg(other.choiceName(*paired));
    corvane::editor::showStatus(this, status);
}

void CKVPluginProps::chooseDisplay(const KVPluginChoice& choice) {
    choose(*m_display, *m_action, choice, "Set display");
}

void CKVPluginProps::chooseAction(const KVPluginChoice& choice) {
    choose(*m_action, *m_display, choice, "Set action");
}

void CKVPluginProps::chooseVerb(const KVVerbChoice& verb) {
    const auto keys = corvane::editor::selectedKeys(m_services);
    if (keys.empty())
        return;
    const uint8_t actionCode = verb.verb == KVKeyVerb::Multimedia ? verb.code : 0;
    // With the chain on, a multimedia key shows what it does.
    KVPtr<KVImage> picture;
    if (verb.verb == KVKeyVerb::Multimedia && m_chain->isChecked())
        picture = LoadKeyImage(corvane::editor::actionPictureName(verb.name.toStdString()));
    auto& editing = m_services.layers.Editing();
    const bool changed = corvane::editor::editKeys(
        m_services, keys, "Set key code of " + keysText(keys).toStdString(),
        [&](const KVPtr<KVLayer>& layer, unsigned key) {
            bool done = false;
            const auto& binding = layer->binding(key);
            if (binding.scanCode != verb.code || binding.actionCode != actionCode || binding.actionPlugin)
                done = editing.SetKeyCode(layer, key, verb.code, actionCode);
            if (picture) {
                if (layer->binding(key).viewPlugin)
                    done = editing.SetViewPlugin(layer, key, {}, {}) || done;
                // Each key gets a picture of its own, so that each layer writes its own file.
                done = editing.SetKeyImage(layer, key, std::make_shared<KVImage>(*picture)) || done;
            }
            return done;
        });
    refresh();
    if (!changed)
        return;
    const bool one = keys.size() == 1;
    const QString status =
        verb.verb == KVKeyVerb::Default
            ? (one ? tr("%1 sends its own code") : tr("%1 send their own codes")).arg(keysText(keys))
            : (one ? tr("%1 sends %2") : tr("%1 send %2")).arg(keysText(keys), verb.name);
    corvane::editor::showStatus(this, status);
}
