#include "editor/CommonPluginProps.h"

#include "core/Log.h"
#include "editor/EditorServices.h"
#include "editor/EditorStatus.h"
#include "editor/KeyEdits.h"
#include "editor/PluginSettings.h"
#include "layers/KeyBinding.h"
#include "layers/Layer.h"
#include "layers/LayersController.h"
#include "plugins/PluginInstance.h"
#include "plugins/PluginRegistry.h"

#include <QActionGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

CKVCommonPluginProps::CKVCommonPluginProps(KVEditorServices& services, KVSubPluginKind kind,
                                           const QString& caption, const QString& builtInName,
                                           QWidget* parent)
    : QWidget(parent), m_services(services), m_kind(kind), m_builtInName(builtInName) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* top = new QHBoxLayout;
    auto* label = new QLabel(caption, this);
    m_chooser = new QPushButton(tr("Select a plugin"), this);
    m_chooser->setAccessibleName(caption.chopped(caption.endsWith(u':') ? 1 : 0));
    m_chooser->setToolTip(kind == KVSubPluginKind::View ? tr("What the selected keys show")
                                                        : tr("What the selected keys do"));
    m_menu = new QMenu(m_chooser);
    m_chooser->setMenu(m_menu);
    m_choices = new QActionGroup(this);
    label->setBuddy(m_chooser);
    top->addWidget(label);
    top->addWidget(m_chooser, 1);
    layout->addLayout(top);

    m_builtIn = new QWidget(this);
    m_builtInLayout = new QVBoxLayout(m_builtIn);
    m_builtInLayout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_builtIn);

    m_pluginArea = new QWidget(this);
    auto* pluginLayout = new QVBoxLayout(m_pluginArea);
    pluginLayout->setContentsMargins(0, 0, 0, 0);
    m_description = new QLabel(m_pluginArea);
    m_description->setWordWrap(true);
    m_description->setTextFormat(Qt::PlainText);
    m_description->setAccessibleName(tr("Plugin description"));
    m_problem = new QLabel(m_pluginArea);
    m_problem->setWordWrap(true);
    m_problem->setTextFormat(Qt::PlainText);
    m_problem->setAccessibleName(tr("Plugin problem"));
    m_panelHost = new QWidget(m_pluginArea);
    m_panelHost->setAccessibleName(tr("Plugin settings"));
    auto* hostLayout = new QVBoxLayout(m_panelHost);
    hostLayout->setContentsMargins(0, 0, 0, 0);
    pluginLayout->addWidget(m_description);
    pluginLayout->addWidget(m_problem);
    pluginLayout->addWidget(m_panelHost);
    layout->addWidget(m_pluginArea);
    layout->addStretch();
    m_pluginArea->hide();
}

CKVCommonPluginProps::~CKVCommonPluginProps() {
    // The plug-in's widget lives inside ours: it must go, by the plug-in's hand, before we do.
    destroyPanel();
}

KVPluginChoice CKVCommonPluginProps::currentChoice() const {
    const auto* binding = corvane::editor::firstSelectedBinding(m_services);
    if (!binding)
        return {};
    const auto instance = instanceOf(*binding);
    if (!instance)
        return {};
    return {instance->PluginID(), instance->SubPluginID()};
}

KVPtr<KVSubPluginInfo> CKVCommonPluginProps::subPlugin(const KVPluginChoice& choice) const {
    if (choice.isBuiltIn())
        return {};
    return m_services.plugins.findSubPlugin(m_kind, choice.pluginId, choice.subPluginId);
}

QString CKVCommonPluginProps::choiceName(const KVPluginChoice& choice) const {
    if (choice.isBuiltIn())
        return m_builtInName;
    if (const auto info = subPlugin(choice); info && !info->displayName.empty())
        return QString::fromStdString(info->displayName);
    return QString::fromStdString(choice.subPluginId);
}

void CKVCommonPluginProps::refresh() {
    const auto* binding = corvane::editor::firstSelectedBinding(m_services);
    const auto instance = binding ? instanceOf(*binding) : nullptr;
    const KVPluginChoice current =
        instance ? KVPluginChoice{instance->PluginID(), instance->SubPluginID()} : KVPluginChoice{};

    m_chooser->setText(binding ? choiceName(current) : tr("Select a plugin"));
    m_chooser->setEnabled(binding != nullptr);
    rebuildMenu(current, binding != nullptr);
    m_builtIn->setVisible(!instance);
    refreshBuiltIn(binding);
    showPlugin(instance);
}

void CKVCommonPluginProps::rebuildMenu(const KVPluginChoice& current, bool enabled) {
    // The refresh may come from within a menu entry's own trigger: the old entries go once it is over.
    for (auto* action : m_choices->actions())
        m_choices->removeAction(action);
    for (auto* action : m_menu->actions()) {
        m_menu->removeAction(action);
        if (action->menu())
            action->menu()->deleteLater();
        else
            action->deleteLater();
    }
    if (!enabled)
        return;
    addChoice(m_menu, m_builtInName, {}, current.isBuiltIn());
    bool separated = false;
    for (const auto& plugin : m_services.plugins.plugins()) {
        const auto& subPlugins = plugin->subPlugins(m_kind);
        if (subPlugins.empty())
            continue;
        if (!separated)
            m_menu->addSeparator();
        separated = true;
        const QString name = QString::fromStdString(plugin->displayName().empty() ? plugin->PluginID()
                                                                                  : plugin->displayName());
        QMenu* group = m_menu->addMenu(name);
        group->setToolTipsVisible(true);
        if (!plugin->loadError().empty())
            group->setToolTip(QString::fromStdString(plugin->loadError()));
        for (const auto& sub : subPlugins) {
            const KVPluginChoice choice{plugin->PluginID(), sub->SubPluginID};
            addChoice(group, choiceName(choice), choice, choice == current);
        }
    }
}

void CKVCommonPluginProps::addChoice(QMenu* menu, const QString& text, const KVPluginChoice& choice,
                                     bool checked) {
    QAction* action = menu->addAction(text);
    action->setCheckable(true);
    action->setChecked(checked);
    m_choices->addAction(action);
    if (const auto info = subPlugin(choice); info && !info->description.empty())
        action->setToolTip(QString::fromStdString(info->description));
    connect(action, &QAction::triggered, this, [this, choice] {
        if (m_onChoice)
            m_onChoice(choice);
    });
}

void CKVCommonPluginProps::showPlugin(const KVPtr<KVKeyPluginInstance>& instance) {
    m_pluginArea->setVisible(instance != nullptr);
    // The instance takes its panel down itself when it stops (its layer went out of use).
    if (instance != m_panelInstance || (m_panelInstance && !m_panelInstance->HasPanel()))
        destroyPanel();
    if (!instance)
        return;
    const auto info = instance->SubPluginInfo();
    // The box has little height: its first sentence is shown, the whole text is the tooltip.
    const QString description = info ? QString::fromStdString(info->description) : QString();
    const auto sentenceEnd = description.indexOf(QStringLiteral(". "));
    m_description->setText(sentenceEnd < 0 ? description : description.left(sentenceEnd + 1));
    m_description->setToolTip(description);
    m_description->setVisible(!description.isEmpty());

    QString problem;
    const auto& plugin = instance->Plugin();
    if (!plugin || !info)
        problem = tr("This plugin is not installed; the key keeps its settings for when it is back.");
    else if (!plugin->loadError().empty())
        problem = tr("This plugin cannot be used: %1").arg(QString::fromStdString(plugin->loadError()));
    m_problem->setText(problem);
    m_problem->setVisible(!problem.isEmpty());

    if (info && info->hasPanel && !m_panelInstance)
        createPanel(instance);
    showSettings(instance, info);
}

void CKVCommonPluginProps::showSettings(const KVPtr<KVKeyPluginInstance>& instance,
                                        const KVPtr<KVSubPluginInfo>& info) {
    const KVPluginChoice choice =
        instance ? KVPluginChoice{instance->PluginID(), instance->SubPluginID()} : KVPluginChoice{};
    const bool wanted = instance && info && !info->settings.empty();
    // The form stays while the same sub-plug-in is shown: a setting makes a new instance, and the
    // field the user moved to keeps the focus.
    if (m_settings && (!wanted || choice != m_settingsChoice)) {
        m_settings->hide();
        m_settings->deleteLater();
        m_settings = nullptr;
    }
    if (!wanted)
        return;
    if (!m_settings) {
        m_settings = new CKVPluginSettings(info->settings, m_pluginArea);
        m_settingsChoice = choice;
        m_pluginArea->layout()->addWidget(m_settings);
        m_settings->onChange([this](const KVPluginSettingValue& setting) { changeSetting(setting); });
    }
    m_settings->showValues(*instance);
}

void CKVCommonPluginProps::changeSetting(const KVPluginSettingValue& setting) {
    const auto keys = corvane::editor::selectedKeys(m_services);
    const KVPluginChoice choice = m_settingsChoice;
    auto& editing = m_services.layers.Editing();
    const bool changed = corvane::editor::editKeys(
        m_services, keys, "Set " + setting.key + " of " + corvane::editor::keysText(keys).toStdString(),
        [&](const KVPtr<KVLayer>& layer, unsigned key) {
            // Keys with another plug-in of this kind keep theirs.
            const auto instance = instanceOf(layer->binding(key));
            if (!instance || KVPluginChoice{instance->PluginID(), instance->SubPluginID()} != choice)
                return false;
            return editing.SetPluginSetting(layer, key, m_kind, setting);
        });
    refresh();
    if (!changed)
        return;
    const QString name = QString::fromStdString(setting.key);
    const QString keysName = corvane::editor::keysText(keys);
    corvane::editor::showStatus(
        this, setting.value.empty()
                  ? tr("%1 of %2 is back to its default").arg(name, keysName)
                  : tr("%1 of %2 is now %3").arg(name, keysName, QString::fromStdString(setting.value)));
}

void CKVCommonPluginProps::createPanel(const KVPtr<KVKeyPluginInstance>& instance) {
    // A plug-in that is not running yet makes no panel; the next refresh asks again.
    void* made = instance->CreatePanel(m_panelHost);
    if (!made)
        return;
    m_panelInstance = instance;
    // Only a widget the plug-in made inside our host is put into the layout; any other answer is not
    // something we can safely treat as a widget.
    for (QObject* child : m_panelHost->children())
        if (child == made && child->isWidgetType()) {
            m_panelWidget = static_cast<QWidget*>(child);
            m_panelHost->layout()->addWidget(m_panelWidget);
            m_panelWidget->show();
            return;
        }
    corvane::logger("editor").warn("plug-in {} answered a settings panel that is not inside its parent",
                                   instance->PluginID());
}

void CKVCommonPluginProps::destroyPanel() {
    if (auto instance = std::move(m_panelInstance); instance && instance->HasPanel())
        instance->DestroyPanel();
    if (m_panelWidget) {
        // The plug-in should have deleted it; it may still hold it, so it is only put away.
        corvane::logger("editor").warn("a plug-in kept its settings panel after it was destroyed");
        m_panelWidget->hide();
        m_panelHost->layout()->removeWidget(m_panelWidget);
    }
    m_panelWidget.clear();
}
