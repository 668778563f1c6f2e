#include "editor/ConditionRows.h"

#include "conditions/ApplicationCondition.h"
#include "conditions/ModifierCondition.h"
#include "conditions/ModifierMask.h"
#include "conditions/SysLayoutCondition.h"
#include "core/Log.h"
#include "editor/ApplicationsComboBox.h"
#include "editor/EditorServices.h"
#include "editor/EditorStatus.h"
#include "editor/LanguagesComboBox.h"
#include "editor/PluginSettings.h"
#include "layers/LayersController.h"
#include "plugins/ConditionPluginInstance.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <array>

CKVConditionRow::CKVConditionRow(KVEditorServices& services, KVPtr<KVLayersItem> item,
                                 KVPtr<KVCondition> condition, const QString& caption, QWidget* parent)
    : QWidget(parent), m_services(services), m_item(std::move(item)), m_condition(std::move(condition)) {
    setObjectName(QStringLiteral("conditionRow"));
    // Two lines, so that a row fits the narrow room the editor gives the conditions: what is tested and
    // "Remove" above, the values below.
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(2);
    auto* top = new QHBoxLayout;
    rows->addLayout(top);
    m_controls = new QHBoxLayout;
    rows->addLayout(m_controls);
    m_below = new QVBoxLayout;
    rows->addLayout(m_below);

    m_caption = new QLabel(caption, this);
    QFont bold = m_caption->font();
    bold.setBold(true);
    m_caption->setFont(bold);
    top->addWidget(m_caption, 1);

    auto* remove = new QToolButton(this);
    remove->setObjectName(QStringLiteral("remove"));
    remove->setIcon(QIcon::fromTheme(QStringLiteral("list-remove"),
                                     style()->standardIcon(QStyle::SP_LineEditClearButton)));
    remove->setText(tr("Remove"));
    remove->setToolButtonStyle(Qt::ToolButtonIconOnly);
    remove->setAutoRaise(true);
    remove->setAccessibleName(tr("Remove condition"));
    remove->setToolTip(tr("Remove this condition"));
    remove->setFocusPolicy(Qt::StrongFocus);
    connect(remove, &QToolButton::clicked, this, &CKVConditionRow::remove);
    top->addWidget(remove);
}

CKVConditionRow::~CKVConditionRow() = default;

void CKVConditionRow::refused() {
    corvane::editor::showStatus(this, tr("The condition of \"%1\" could not be changed")
                                          .arg(QString::fromStdString(m_item->displayName())));
    refresh();
}

void CKVConditionRow::remove() {
    if (!m_services.layers.Editing().RemoveCondition(m_item, m_condition)) {
        refused();
        return;
    }
    emit removed();
}

namespace {

class ApplicationRow final : public CKVConditionRow {
public:
    ApplicationRow(KVEditorServices& services, const KVPtr<KVLayersItem>& item,
                   KVPtr<KVApplicationCondition> condition, QWidget* parent)
        : CKVConditionRow(services, item, condition, tr("Application"), parent), m_condition(condition) {
        setAccessibleName(tr("Application condition"));
        m_predicate = new QComboBox(this);
        m_predicate->setObjectName(QStringLiteral("predicate"));
        m_predicate->addItem(tr("is active"), true);
        m_predicate->addItem(tr("is running"), false);
        m_predicate->setAccessibleName(tr("Application is active or running"));
        m_predicate->setToolTip(tr("Whether the application must be in front or only running"));
        m_applications = new CKVApplicationsComboBox(services.applications, this);
        m_applications->setObjectName(QStringLiteral("application"));
        // On a line of its own below the application: side by side they do not fit the box's width.
        controls()->addWidget(m_applications, 1);
        below()->addWidget(m_predicate, 0, Qt::AlignLeft);
        refresh();

        connect(m_predicate, &QComboBox::activated, this, [this](int index) {
            const bool foreground = m_predicate->itemData(index).toBool();
            if (foreground != m_condition->Foreground() &&
                !this->services().layers.Editing().SetConditionForeground(this->item(), m_condition,
                                                                          foreground))
                refused();
        });
        connect(m_applications, &CKVApplicationsComboBox::applicationChosen, this, [this](const QString& id) {
            if (!this->services().layers.Editing().SetConditionApplication(this->item(), m_condition,
                                                                           id.toStdString()))
                refused();
        });
    }

    void refresh() override {
        const QSignalBlocker quiet(m_predicate);
        m_predicate->setCurrentIndex(m_condition->Foreground() ? 0 : 1);
        m_applications->setApplication(m_condition->ApplicationId());
    }

private:
    KVPtr<KVApplicationCondition> m_condition;
    QComboBox* m_predicate = nullptr;
    CKVApplicationsComboBox* m_applications = nullptr;
};

class LanguageRow final : public CKVConditionRow {
public:
    LanguageRow(KVEditorServices& services, const KVPtr<KVLayersItem>& item,
                KVPtr<KVSysLayoutCondition> condition, QWidget* parent)
        : CKVConditionRow(services, item, condition, tr("Language is"), parent), m_condition(condition) {
        setAccessibleName(tr("Language condition"));
        m_layouts = new CKVLanguagesComboBox(services.layouts, this);
        m_layouts->setObjectName(QStringLiteral("language"));
        controls()->addWidget(m_layouts, 1);
        refresh();
        connect(m_layouts, &CKVLanguagesComboBox::layoutChosen, this, [this](uint32_t layout) {
            if (!this->services().layers.Editing().SetConditionLayout(this->item(), m_condition, layout))
                refused();
        });
    }

    void refresh() override { m_layouts->setKeyboardLayout(m_condition->Layout()); }

private:
    KVPtr<KVSysLayoutCondition> m_condition;
    CKVLanguagesComboBox* m_layouts = nullptr;
};

// Modifier and lock conditions: one check box per key of their kind, and one for any key of the other
// kind that a stored mask holds, so that it can be seen and taken out.
class MaskRow final : public CKVConditionRow {
public:
    MaskRow(KVEditorServices& services, const KVPtr<KVLayersItem>& item, KVPtr<KVModifierCondition> condition,
            bool locks, QWidget* parent)
        : CKVConditionRow(services, item, condition, locks ? tr("Lock is") : tr("Modifier is"), parent),
          m_condition(condition) {
        setAccessibleName(locks ? tr("Lock keys condition") : tr("Modifier keys condition"));
        const uint32_t own =
            locks ? corvane::kLockMaskBits : corvane::kModifierMaskBits & ~corvane::kLockMaskBits;
        for (uint32_t bit = 1; bit <= 0x80; bit <<= 1) {
            if (!(bit & own) && !(bit & condition->Mask()))
                continue;
            const QString name = QString::fromStdString(corvane::modifierDisplayText(bit));
            auto* box = new QCheckBox(name, this);
            box->setObjectName(QStringLiteral("key_") + name);
            box->setAccessibleName(name);
            box->setToolTip(locks ? tr("Holds only while %1 Lock is on").arg(name)
                                  : tr("Holds only while %1 is held").arg(name));
            box->setProperty("bit", bit);
            controls()->addWidget(box);
            m_boxes.push_back(box);
            connect(box, &QCheckBox::toggled, this, [this, bit](bool on) {
                const uint32_t mask = on ? (m_condition->Mask() | bit) : (m_condition->Mask() & ~bit);
                if (!this->services().layers.Editing().SetConditionMask(this->item(), m_condition, mask))
                    refused();
            });
        }
        controls()->addStretch(1);
        refresh();
    }

    void refresh() override {
        for (auto* box : m_boxes) {
            const QSignalBlocker quiet(box);
            box->setChecked(m_condition->Mask() & box->property("bit").toUInt());
        }
    }

private:
    KVPtr<KVModifierCondition> m_condition;
    std::vector<QCheckBox*> m_boxes;
};

// A condition plug-in: its sub-plug-in's name, and the plug-in's own panel when it offers one.
class PluginRow final : public CKVConditionRow {
public:
    PluginRow(KVEditorServices& services, const KVPtr<KVLayersItem>& item,
              KVPtr<KVConditionPluginInstance> condition, QWidget* parent)
        : CKVConditionRow(services, item, condition, captionOf(*condition), parent), m_instance(condition) {
        setAccessibleName(tr("%1 condition").arg(captionLabel()->text()));
        const auto info = condition->SubPluginInfo();
        captionLabel()->setToolTip(info ? QString::fromStdString(info->description) : problemOf(*condition));
        if (info && !info->settings.empty())
            addSettings(*info);
        if (!info || !info->hasPanel)
            return;
        m_host = new QWidget(this);
        m_host->setObjectName(QStringLiteral("pluginPanel"));
        auto* hostLayout = new QVBoxLayout(m_host);
        hostLayout->setContentsMargins(0, 0, 0, 0);
        below()->addWidget(m_host);
        // A condition read from the profile gets its plug-in object at its first evaluation, which an
        // item in a group that is off has not had yet.
        if (!condition->IsActive())
            condition->Activate();
        if (auto* panel = static_cast<QWidget*>(condition->CreatePanel(m_host))) {
            if (panel->parentWidget() != m_host)
                panel->setParent(m_host);
            hostLayout->addWidget(panel);
        } else {
            corvane::logger("editor").warn("the condition plug-in {} {} gave no panel", condition->PluginID(),
                                           condition->SubPluginID());
        }
    }

    void release() override {
        // The plug-in made the panel and takes it down; Qt must not delete it a second time.
        if (m_host)
            m_instance->DestroyPanel();
    }

    void refresh() override {
        if (m_settings)
            m_settings->showValues(*m_instance);
    }

private:
    void addSettings(const KVSubPluginInfo& info) {
        m_settings = new CKVPluginSettings(info.settings, this);
        m_settings->setAccessibleName(tr("%1 settings").arg(captionLabel()->text()));
        below()->addWidget(m_settings);
        m_settings->onChange([this](const KVPluginSettingValue& setting) {
            if (!this->services().layers.Editing().SetConditionSetting(this->item(), m_instance, setting)) {
                refused();
                return;
            }
            corvane::editor::showStatus(
                this,
                tr("%1 of the condition is now %2")
                    .arg(QString::fromStdString(setting.key),
                         setting.value.empty() ? tr("its default") : QString::fromStdString(setting.value)));
        });
        refresh();
    }

    static QString captionOf(KVConditionPluginInstance& condition) {
        if (const auto info = condition.SubPluginInfo(); info && !info->displayName.empty())
            return QString::fromStdString(info->displayName);
        return QString::fromStdString(condition.PluginID() + " " + condition.SubPluginID());
    }
    static QString problemOf(KVConditionPluginInstance& condition) {
        const auto& plugin = condition.Plugin();
        if (!plugin)
            return tr("The plug-in %1 is not installed").arg(QString::fromStdString(condition.PluginID()));
        return QString::fromStdString(plugin->loadError());
    }

    KVPtr<KVConditionPluginInstance> m_instance;
    QWidget* m_host = nullptr;
    CKVPluginSettings* m_settings = nullptr;
};

// A stored plug-in condition that could not be made into an instance: kept, shown and removable.
class StoredRow final : public CKVConditionRow {
public:
    StoredRow(KVEditorServices& services, const KVPtr<KVLayersItem>& item,
              const KVPtr<KVCondition>& condition, QWidget* parent)
        : CKVConditionRow(services, item, condition, tr("Plug-in condition (not available)"), parent) {
        setAccessibleName(captionLabel()->text());
    }
};

} // namespace

namespace corvane::editor {

bool isListedCondition(const KVCondition& condition) {
    return condition.Type() != kSysConditionType;
}

CKVConditionRow* makeConditionRow(KVEditorServices& services, const KVPtr<KVLayersItem>& item,
                                  const KVPtr<KVCondition>& condition, QWidget* parent) {
    if (!condition || !isListedCondition(*condition))
        return nullptr;
    if (auto application = std::dynamic_pointer_cast<KVApplicationCondition>(condition))
        return new ApplicationRow(services, item, application, parent);
    if (auto language = std::dynamic_pointer_cast<KVSysLayoutCondition>(condition))
        return new LanguageRow(services, item, language, parent);
    if (auto mask = std::dynamic_pointer_cast<KVModifierCondition>(condition))
        return new MaskRow(services, item, mask, condition->Type() == kLockConditionType, parent);
    if (auto plugin = std::dynamic_pointer_cast<KVConditionPluginInstance>(condition))
        return new PluginRow(services, item, plugin, parent);
    return new StoredRow(services, item, condition, parent);
}

} // namespace corvane::editor
