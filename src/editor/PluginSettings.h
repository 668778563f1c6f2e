#pragma once

#include "plugins/PluginInfo.h"
#include "plugins/PluginInstance.h"

#include <QWidget>
#include <functional>
#include <map>
#include <string>
#include <vector>

class QFormLayout;

// The settings a sub-plug-in declares, as a form: a text field, a number field or a list of choices per
// setting, each showing what the instance stores. A change is handed on when the user has finished it
// (Enter, leaving the field, a choice picked), never while typing, so each change is one step to undo.
class CKVPluginSettings : public QWidget {
    Q_OBJECT

public:
    using ChangeHandler = std::function<void(const KVPluginSettingValue&)>;

    CKVPluginSettings(std::vector<KVPluginSettingInfo> settings, QWidget* parent);

    void onChange(ChangeHandler handler) { m_onChange = std::move(handler); }
    // Shows the values `instance` stores; a field being edited keeps what the user typed.
    void showValues(const KVKeyPluginInstance& instance);
    // The field of a setting; null when the sub-plug-in declares no such setting.
    QWidget* field(const std::string& key) const;

private:
    struct Field {
        KVPluginSettingInfo info;
        QWidget* widget = nullptr;
        std::string shown; // the stored value the field shows
    };

    QWidget* makeField(Field& field);
    std::string valueOf(const Field& field) const;
    void setValue(Field& field, const std::string& value);
    void commit(Field& field);

    std::vector<Field> m_fields;
    ChangeHandler m_onChange;
};
