#pragma once

#include "core/KVPtr.h"
#include "plugins/PluginInfo.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>

class CKVPluginSettings;
class KVKeyPluginInstance;
class KVLayer;
struct KVPluginSettingValue;
class QActionGroup;
class QLabel;
class QMenu;
class QPushButton;
class QVBoxLayout;
struct KVEditorServices;
struct KVKeyBinding;

// A sub-plug-in chosen for a key; both ids empty stand for the panel's built-in entry.
struct KVPluginChoice {
    std::string pluginId;
    std::string subPluginId;

    bool isBuiltIn() const { return pluginId.empty(); }
    bool operator==(const KVPluginChoice&) const = default;
};

// What the display and the action panel share: a caption, the chooser button whose menu offers the
// built-in entry and every plug-in's sub-plug-ins of the panel's kind, the built-in entry's own
// controls, and the room where the chosen sub-plug-in's description and settings panel show.
class CKVCommonPluginProps : public QWidget {
public:
    using ChoiceHandler = std::function<void(const KVPluginChoice&)>;

    ~CKVCommonPluginProps() override;

    // Shows the binding of the first selected key of the edited layer; a settings panel is made anew
    // when the key's instance is another one than the one shown.
    void refresh();
    // The user picked an entry of the chooser's menu (also the current one; the handler decides).
    void onChoice(ChoiceHandler handler) { m_onChoice = std::move(handler); }

    // What the first selected key has chosen.
    KVPluginChoice currentChoice() const;
    // Puts `choice` on one key (inside the caller's undoable step); false when nothing changed.
    virtual bool setChoice(const KVPtr<KVLayer>& layer, unsigned key, const KVPluginChoice& choice) = 0;
    // The sub-plug-in of the panel's kind that `choice` names in the registry; empty when none.
    KVPtr<KVSubPluginInfo> subPlugin(const KVPluginChoice& choice) const;
    // The name the user knows a choice by: the built-in entry's name or the sub-plug-in's display name.
    QString choiceName(const KVPluginChoice& choice) const;
    KVSubPluginKind kind() const { return m_kind; }

    QPushButton* chooser() const { return m_chooser; }
    QMenu* chooserMenu() const { return m_menu; }
    // The plug-in's settings panel while one is shown.
    QWidget* pluginPanel() const { return m_panelWidget.data(); }
    QWidget* panelHost() const { return m_panelHost; }
    // The form of the settings the chosen sub-plug-in declares, while it declares any.
    CKVPluginSettings* settingsForm() const { return m_settings; }

protected:
    CKVCommonPluginProps(KVEditorServices& services, KVSubPluginKind kind, const QString& caption,
                         const QString& builtInName, QWidget* parent);

    // The instance of the panel's kind on a binding.
    virtual KVPtr<KVKeyPluginInstance> instanceOf(const KVKeyBinding& binding) const = 0;
    // Shows the built-in entry's controls for `binding`; null when no key is selected.
    virtual void refreshBuiltIn(const KVKeyBinding* binding) = 0;
    // Where the built-in entry's controls go; shown only while the key has no plug-in of this kind.
    QVBoxLayout* builtInLayout() const { return m_builtInLayout; }
    KVEditorServices& services() const { return m_services; }

private:
    void rebuildMenu(const KVPluginChoice& current, bool enabled);
    void addChoice(QMenu* menu, const QString& text, const KVPluginChoice& choice, bool checked);
    void showPlugin(const KVPtr<KVKeyPluginInstance>& instance);
    void createPanel(const KVPtr<KVKeyPluginInstance>& instance);
    void destroyPanel();
    void showSettings(const KVPtr<KVKeyPluginInstance>& instance, const KVPtr<KVSubPluginInfo>& info);
    // Sets one setting on every selected key whose instance is the sub-plug-in the form shows.
    void changeSetting(const KVPluginSettingValue& setting);

    KVEditorServices& m_services;
    KVSubPluginKind m_kind;
    QString m_builtInName;
    QPushButton* m_chooser = nullptr;
    QMenu* m_menu = nullptr;
    QActionGroup* m_choices = nullptr;
    QWidget* m_builtIn = nullptr;
    QVBoxLayout* m_builtInLayout = nullptr;
    QWidget* m_pluginArea = nullptr;
    QLabel* m_description = nullptr;
    QLabel* m_problem = nullptr;
    QWidget* m_panelHost = nullptr;
    KVPtr<KVKeyPluginInstance> m_panelInstance;
    QPointer<QWidget> m_panelWidget;
    CKVPluginSettings* m_settings = nullptr;
    KVPluginChoice m_settingsChoice;
    ChoiceHandler m_onChoice;
};
