#include "editor/ConditionsView.h"

#include "conditions/ApplicationCondition.h"
#include "conditions/ModifierCondition.h"
#include "conditions/SysLayoutCondition.h"
#include "core/MessageDispatch.h"
#include "editor/ConditionRows.h"
#include "editor/EditorServices.h"
#include "editor/EditorStatus.h"
#include "layers/LayerCake.h"
#include "layers/LayersController.h"
#include "plugins/ConditionPluginInstance.h"
#include "plugins/PluginInstanceFactory.h"
#include "plugins/PluginRegistry.h"
#include "system/ApplicationsController.h"
#include "system/KeyboardLayouts.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// Each plug-in condition of the menu, in the registry's order.
struct PluginConditionChoice {
    KVPtr<KVPluginInfo> plugin;
    KVPtr<KVSubPluginInfo> condition;
};

std::vector<PluginConditionChoice> pluginConditions(const KVPluginRegistry& registry) {
    std::vector<PluginConditionChoice> choices;
    for (const auto& plugin : registry.plugins())
        for (const auto& condition : plugin->subPlugins(KVSubPluginKind::Condition))
            choices.push_back({plugin, condition});
    return choices;
}

std::vector<QWidget*> tabStops(const QWidget& row) {
    std::vector<QWidget*> stops;
    // A combo box's list is a window of its own and takes no part in the tab order.
    for (auto* child : row.findChildren<QWidget*>())
        if ((child->focusPolicy() & Qt::TabFocus) && !child->isWindow() && child->window() == row.window())
            stops.push_back(child);
    return stops;
}

} // namespace

CKVConditionsView::CKVConditionsView(KVEditorServices& services, QWidget* parent)
    : QWidget(parent), m_services(services) {
    setObjectName(QStringLiteral("CKVConditionsView"));
    setAccessibleName(tr("Conditions"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    // Inside a group box the caption is the box's title; on its own the view shows it.
    m_caption = new QLabel(this);
    m_caption->setVisible(!qobject_cast<QGroupBox*>(parent));
    layout->addWidget(m_caption);

    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The rows' controls take the focus and scroll into view; the frameless area itself shows no focus.
    scroll->setFocusPolicy(Qt::NoFocus);
    m_list = new QWidget(scroll);
    m_listLayout = new QVBoxLayout(m_list);
    m_listLayout->setContentsMargins(0, 0, 0, 0);
    m_listLayout->setSpacing(2 * std::max(m_listLayout->spacing(), 4));
    m_empty = new QLabel(m_list);
    m_empty->setWordWrap(true);
    m_empty->setForegroundRole(QPalette::PlaceholderText);
    m_listLayout->addWidget(m_empty);
    m_listLayout->addStretch(1);
    scroll->setWidget(m_list);
    layout->addWidget(scroll, 1);

    m_add = new QPushButton(QIcon::fromTheme(QStringLiteral("list-add")), tr("Add condition"), this);
    m_add->setObjectName(QStringLiteral("addCondition"));
    m_add->setAccessibleName(tr("Add condition"));
    m_add->setToolTip(tr("Add a condition that must hold for this layer or group to take effect"));
    m_menu = new QMenu(m_add);
    m_add->setMenu(m_menu);
    connect(m_menu, &QMenu::aboutToShow, this, &CKVConditionsView::fillMenu);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_add);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    m_services.dispatch.RegisterHandler<KVM_TREE_SELECTION_CHANGED>(this, &CKVConditionsView::reload);
    // Undo and redo replay edits behind the editor's back and announce it so.
    m_services.dispatch.RegisterHandler<KVM_KEYS_EDITED>(this, &CKVConditionsView::reload);
    m_services.dispatch.RegisterHandler<KVM_LAYERS_IMPORTED>(this, &CKVConditionsView::reload);
    m_services.dispatch.RegisterHandler<KVM_KEY_SELECTION_CHANGED>(this, &CKVConditionsView::updateCaption);
    fillMenu();
    reload();
}

CKVConditionsView::~CKVConditionsView() {
    m_services.dispatch.UnregisterHandlers(this);
    clearRows();
}

void CKVConditionsView::clearRows() {
    for (auto* row : m_rows) {
        row->release();
        row->hide();
        row->deleteLater();
    }
    m_rows.clear();
}

void CKVConditionsView::reload() {
    clearRows();
    m_item = m_services.layers.EditedItem();
    const bool editable = m_item && m_services.layers.Editing().conditionsEditable(m_item);
    if (m_item) {
        int position = 0;
        for (const auto& condition : m_item->conditions())
            if (auto* row = corvane::editor::makeConditionRow(m_services, m_item, condition, m_list)) {
                row->setEnabled(editable);
                connect(row, &CKVConditionRow::removed, this, &CKVConditionsView::reload,
                        Qt::QueuedConnection);
                m_listLayout->insertWidget(position++, row);
                m_rows.push_back(row);
            }
    }
    m_add->setEnabled(editable);
    if (!m_item)
        m_empty->setText(tr("Select a layer or group to see its conditions."));
    else if (!editable)
        m_empty->setText(tr("The system layers follow the keyboard layouts by themselves."));
    else
        m_empty->setText(tr("No conditions of its own: it takes effect whenever its group does."));
    m_empty->setVisible(m_rows.empty());
    updateCaption();
    // Tab runs through the rows in their order, then to "Add condition".
    QWidget* previous = nullptr;
    for (auto* row : m_rows)
        for (auto* stop : tabStops(*row)) {
            if (previous)
                setTabOrder(previous, stop);
            previous = stop;
        }
    if (previous)
        setTabOrder(previous, m_add);
}

void CKVConditionsView::updateCaption() {
    QString text = tr("Conditions");
    if (m_item && m_rows.empty())
        text = tr("Conditions: use inherited");
    if (m_services.layers.SelectedKeys().count() > 1)
        text += QLatin1Char(' ') + tr("(multiple selection)");
    if (text == m_captionText)
        return;
    m_captionText = text;
    m_caption->setText(text);
    if (auto* box = qobject_cast<QGroupBox*>(parentWidget()))
        box->setTitle(text);
    emit captionChanged(text);
}

void CKVConditionsView::fillMenu() {
    m_menu->clear();
    const auto add = [this](const QString& text, int command, const QString& tip) {
        auto* action = m_menu->addAction(text, this, [this, command] { addCondition(command); });
        action->setData(command);
        action->setToolTip(tip);
    };
    add(tr("Application"), AddApplication, tr("Holds while an application is in front or running"));
    add(tr("Language"), AddLanguage, tr("Holds while a keyboard layout is in use"));
    add(tr("Modifier keys"), AddModifier, tr("Holds while modifier keys are held"));
    add(tr("Lock keys"), AddLock, tr("Holds while lock keys are on"));
    const auto choices = pluginConditions(m_services.plugins);
    if (!choices.empty())
        m_menu->addSeparator();
    int command = FirstPluginCondition;
    for (const auto& choice : choices) {
        if (command > LastPluginCondition)
            break;
        const auto& name = choice.condition->displayName.empty() ? choice.condition->SubPluginID
                                                                 : choice.condition->displayName;
        add(QString::fromStdString(name), command++, QString::fromStdString(choice.condition->description));
    }
    m_menu->setToolTipsVisible(true);
}

std::string CKVConditionsView::startApplication() const {
    // Whatever is in front while the user is here is mostly this program itself: that is no choice.
    const std::string self =
        QFileInfo(QCoreApplication::applicationFilePath()).fileName().toLower().toStdString();
    const std::string& foreground = m_services.applications.foregroundApplication();
    if (!foreground.empty() && foreground != self)
        return foreground;
    const auto known = m_services.applications.applicationsByDisplayName();
    const auto other =
        std::find_if(known.begin(), known.end(), [&](const auto& entry) { return entry.id != self; });
    if (other != known.end())
        return other->id;
    return foreground;
}

KVPtr<KVCondition> CKVConditionsView::newCondition(int command) {
    const auto& context = m_services.cake.loadContext();
    switch (command) {
    case AddApplication: {
        const std::string id = startApplication();
        if (id.empty()) {
            corvane::editor::showStatus(this, tr("No application is known yet to make a condition of"));
            return nullptr;
        }
        return std::make_shared<KVApplicationCondition>(context.conditions, id, true);
    }
    case AddLanguage: {
        uint32_t layout = m_services.layouts.CurrentLayout();
        return std::make_shared<KVSysLayoutCondition>(context.conditions,
                                                      layout ? layout : m_services.layouts.DefaultLayout());
    }
    case AddModifier:
        return std::make_shared<KVModifierCondition>(context.conditions, 0);
    case AddLock:
        return std::make_shared<KVLockCondition>(context.conditions, 0);
    default:
        break;
    }
    const auto choices = pluginConditions(m_services.plugins);
    const auto index = static_cast<size_t>(command - FirstPluginCondition);
    if (command < FirstPluginCondition || index >= choices.size() || !context.plugins)
        return nullptr;
    const auto& choice = choices[index];
    auto condition = context.plugins->CreateConditionInstance(choice.plugin, choice.condition->SubPluginID,
                                                              context.conditions);
    if (!condition) {
        const QString reason = QString::fromStdString(choice.plugin->loadError());
        corvane::editor::showStatus(this,
                                    tr("The condition \"%1\" cannot be used%2")
                                        .arg(QString::fromStdString(choice.condition->displayName),
                                             reason.isEmpty() ? QString() : QStringLiteral(": ") + reason));
    }
    return condition;
}

void CKVConditionsView::addCondition(int command) {
    if (!m_item)
        return;
    auto condition = newCondition(command);
    if (!condition)
        return;
    if (!m_services.layers.Editing().AddCondition(m_item, condition)) {
        corvane::editor::showStatus(
            this,
            tr("No condition can be added to \"%1\"").arg(QString::fromStdString(m_item->displayName())));
        return;
    }
    reload();
    if (const auto stops = m_rows.empty() ? std::vector<QWidget*>{} : tabStops(*m_rows.back());
        !stops.empty())
        stops.front()->setFocus(Qt::TabFocusReason);
}
