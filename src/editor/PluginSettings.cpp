#include "editor/PluginSettings.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <algorithm>
#include <charconv>
#include <limits>

namespace {

constexpr int kDefaultIndex = 0;

// The spin box's lowest value stands for "not stored"; the plug-in's own default applies then.
int clampToInt(long value) {
    return static_cast<int>(
        std::clamp<long>(value, std::numeric_limits<int>::min() + 1, std::numeric_limits<int>::max()));
}

} // namespace

CKVPluginSettings::CKVPluginSettings(std::vector<KVPluginSettingInfo> settings, QWidget* parent)
    : QWidget(parent) {
    setAccessibleName(tr("Plugin settings"));
    auto* form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    m_fields.reserve(settings.size());
    for (auto& setting : settings)
        m_fields.push_back(Field{std::move(setting), nullptr, {}});
    for (auto& field : m_fields) {
        const QString title = QString::fromStdString(field.info.title);
        auto* label = new QLabel(title + u':', this);
        QWidget* widget = makeField(field);
        widget->setObjectName(QString::fromStdString(field.info.key));
        widget->setAccessibleName(title);
        widget->setToolTip(QString::fromStdString(field.info.description));
        label->setBuddy(widget);
        form->addRow(label, widget);
        field.widget = widget;
    }
}

QWidget* CKVPluginSettings::makeField(Field& field) {
    const auto& info = field.info;
    const QString placeholder = QString::fromStdString(info.placeholder);
    if (!info.choices.empty()) {
        auto* box = new QComboBox(this);
        box->addItem(placeholder.isEmpty() ? tr("Default") : tr("Default (%1)").arg(placeholder));
        for (const auto& choice : info.choices)
            box->addItem(QString::fromStdString(choice));
        connect(box, &QComboBox::activated, this, [this, &field] { commit(field); });
        return box;
    }
    if (info.range) {
        auto* box = new QSpinBox(this);
        box->setRange(clampToInt(info.range->first) - 1, clampToInt(info.range->second));
        box->setSpecialValueText(placeholder.isEmpty() ? tr("Default") : tr("Default (%1)").arg(placeholder));
        box->setKeyboardTracking(false);
        connect(box, &QSpinBox::editingFinished, this, [this, &field] { commit(field); });
        return box;
    }
    auto* edit = new QLineEdit(this);
    edit->setPlaceholderText(placeholder);
    edit->setClearButtonEnabled(true);
    connect(edit, &QLineEdit::editingFinished, this, [this, &field] { commit(field); });
    return edit;
}

std::string CKVPluginSettings::valueOf(const Field& field) const {
    if (auto* box = qobject_cast<QComboBox*>(field.widget))
        return box->currentIndex() <= kDefaultIndex ? std::string() : box->currentText().toStdString();
    if (auto* box = qobject_cast<QSpinBox*>(field.widget))
        return box->value() == box->minimum() ? std::string() : std::to_string(box->value());
    return static_cast<QLineEdit*>(field.widget)->text().toStdString();
}

void CKVPluginSettings::setValue(Field& field, const std::string& value) {
    field.shown = value;
    const QString text = QString::fromStdString(value);
    if (auto* box = qobject_cast<QComboBox*>(field.widget)) {
        // A stored value that is not one of the choices is shown as it is, so it is not lost unseen.
        int index = value.empty() ? kDefaultIndex : box->findText(text, Qt::MatchExactly);
        if (index < 0) {
            box->addItem(text);
            index = box->count() - 1;
        }
        box->setCurrentIndex(index);
    } else if (auto* box = qobject_cast<QSpinBox*>(field.widget)) {
        long number = 0;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
        const bool valid = !value.empty() && error == std::errc{} && end == value.data() + value.size();
        box->setValue(valid ? clampToInt(number) : box->minimum());
    } else {
        static_cast<QLineEdit*>(field.widget)->setText(text);
    }
}

void CKVPluginSettings::showValues(const KVKeyPluginInstance& instance) {
    for (auto& field : m_fields) {
        const std::string stored = instance.Setting(field.info.key);
        // A field the user is typing in keeps the text until it is finished.
        if (field.widget->hasFocus() && valueOf(field) != field.shown)
            continue;
        setValue(field, stored);
    }
}

QWidget* CKVPluginSettings::field(const std::string& key) const {
    for (const auto& field : m_fields)
        if (field.info.key == key)
            return field.widget;
    return nullptr;
}

void CKVPluginSettings::commit(Field& field) {
    const std::string value = valueOf(field);
    if (value == field.shown)
        return;
    field.shown = value;
    if (m_onChange)
        m_onChange({field.info.key, value});
}
