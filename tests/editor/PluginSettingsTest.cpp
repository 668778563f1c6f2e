// The settings a shipped plug-in declares, edited in the key panels and in a condition's row: each
// finished change is one undoable step on every selected key, and the plug-in starts again with it.

#include "editor/PluginSettings.h"

#include "WindowTestSupport.h"
#include "core/MessageDispatch.h"
#include "editor/ActionProps.h"
#include "editor/ConditionRows.h"
#include "editor/ConditionsView.h"
#include "editor/DisplayProps.h"
#include "editor/KeyProps.h"
#include "editor/PluginProps.h"
#include "layers/Layer.h"
#include "layers/LayersController.h"
#include "plugins/ActionPluginInstance.h"
#include "plugins/ConditionPluginInstance.h"
#include "plugins/ViewPluginInstance.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>

namespace {

constexpr unsigned kF5 = 5, kF6 = 6;

class PluginSettingsTest : public EditorFixture {
protected:
    KVPtr<KVLayer> selectNewLayer(std::initializer_list<unsigned> keys) {
        window();
        auto layer = services().layers.Editing().NewLayer(services().cake.userLayers(), {});
        select(layer, keys);
        return layer;
    }
    CKVPluginProps& panels() { return *window().keyProperties()->pluginProps(); }
    void choose(CKVCommonPluginProps* panel, const QString& plugin, const QString& entry) {
        QAction* action = menuEntry(panel->chooserMenu(), plugin, entry);
        ASSERT_TRUE(action) << entry.toStdString();
        action->trigger();
        settle();
    }
    template <class Field> Field* field(CKVPluginSettings* form, const std::string& key) {
        return form ? qobject_cast<Field*>(form->field(key)) : nullptr;
    }
    QString status() { return window().statusBar()->currentMessage(); }
};

TEST_F(PluginSettingsTest, ATextSettingGoesToEverySelectedKeyAsOneStep) {
    const auto layer = selectNewLayer({kF5, kF6});
    auto* action = panels().action();
    choose(action, "Launcher", "Run or open");
    ASSERT_TRUE(layer->binding(kF5).actionPlugin && layer->binding(kF6).actionPlugin);
    CKVPluginSettings* form = action->settingsForm();
    auto* command = field<QLineEdit>(form, "Command");
    ASSERT_TRUE(command);
    EXPECT_EQ(command->accessibleName(), "Command");
    EXPECT_FALSE(command->toolTip().isEmpty());
    const auto stepsBefore = services().layers.Editing().history().count();

    command->setFocus();
    QTest::keyClicks(command, "touch /tmp/done");
    EXPECT_EQ(layer->binding(kF5).actionPlugin->Setting("Command"), "") << "nothing while typing";
    QTest::keyClick(command, Qt::Key_Return);
    settle();
    for (const unsigned key : {kF5, kF6}) {
        EXPECT_EQ(layer->binding(key).actionPlugin->Setting("Command"), "touch /tmp/done");
        EXPECT_TRUE(layer->binding(key).actionPlugin->IsActive());
    }
    EXPECT_EQ(services().layers.Editing().history().count(), stepsBefore + 1);
    EXPECT_EQ(services().layers.Editing().UndoText(), "Set Command of 2 keys");
    EXPECT_EQ(status(), "Command of 2 keys is now touch /tmp/done");
    EXPECT_EQ(action->settingsForm(), form) << "the form stays for the same plug-in";
    saveScreenshots(*window().keyProperties()->parentWidget(), "plugin-settings");

    services().layers.Editing().Undo();
    settle();
    EXPECT_EQ(layer->binding(kF6).actionPlugin->Setting("Command"), "");
    EXPECT_EQ(command->text(), "") << "the form follows the undo";
}

TEST_F(PluginSettingsTest, ChoicesAndNumbersStoreTextAndTheDefaultRemovesIt) {
    const auto layer = selectNewLayer({kF5});
    choose(panels().display(), "System Monitor", "CPU load");
    auto* style = field<QComboBox>(panels().display()->settingsForm(), "Style");
    ASSERT_TRUE(style);
    EXPECT_EQ(style->itemText(0), "Default (graph)");
    style->setCurrentIndex(style->findText("bar"));
    emit style->activated(style->currentIndex());
    settle();
    EXPECT_EQ(layer->binding(kF5).viewPlugin->Setting("Style"), "bar");
    style->setCurrentIndex(0);
    emit style->activated(0);
    settle();
    EXPECT_FALSE(layer->binding(kF5).viewPlugin->Properties()->findChild("Style"));

    choose(panels().display(), "Timer", "Countdown");
    auto* seconds = field<QSpinBox>(panels().display()->settingsForm(), "Seconds");
    ASSERT_TRUE(seconds);
    EXPECT_EQ(seconds->maximum(), 359999);
    EXPECT_EQ(seconds->text(), "Default (300)");
    seconds->setValue(90);
    emit seconds->editingFinished();
    settle();
    EXPECT_EQ(layer->binding(kF5).viewPlugin->Setting("Seconds"), "90");
}

TEST_F(PluginSettingsTest, AConditionRowEditsItsPluginSettings) {
    const auto layer = selectNewLayer({});
    auto& view = *window().conditions();
    view.addMenu()->aboutToShow();
    QAction* between = nullptr;
    for (QAction* action : view.addMenu()->actions())
        if (action->text() == "Between two times")
            between = action;
    ASSERT_TRUE(between);
    between->trigger();
    settle();
    ASSERT_EQ(view.rows().size(), 1u);
    auto condition = std::dynamic_pointer_cast<KVConditionPluginInstance>(layer->conditions().front());
    ASSERT_TRUE(condition);
    auto* form = view.rows()[0]->findChild<CKVPluginSettings*>();
    auto* from = field<QLineEdit>(form, "From");
    auto* to = field<QLineEdit>(form, "To");
    ASSERT_TRUE(from && to);
    EXPECT_FALSE(condition->State()) << "no times: it never holds";

    // The whole day but its last second: it holds now (unless the test runs in that second).
    from->setText("00:00");
    emit from->editingFinished();
    to->setText("23:59:59");
    emit to->editingFinished();
    settle();
    EXPECT_EQ(condition->Setting("To"), "23:59:59");
    EXPECT_TRUE(condition->State());
    saveScreenshots(view, "plugin-condition-settings");

    services().layers.Editing().Undo();
    settle();
    EXPECT_EQ(condition->Setting("To"), "");
    EXPECT_FALSE(condition->State());
}

} // namespace
