#include "editor/ConditionsView.h"

#include "EditorFixture.h"
#include "WindowTestSupport.h"
#include "conditions/ApplicationCondition.h"
#include "conditions/ModifierCondition.h"
#include "conditions/SysLayoutCondition.h"
#include "core/MessageDispatch.h"
#include "editor/ApplicationsComboBox.h"
#include "editor/ConditionRows.h"
#include "editor/LanguagesComboBox.h"
#include "layers/LayersController.h"
#include "plugins/ConditionPluginInstance.h"
#include "plugins/PluginRegistry.h"
#include "system/ApplicationsController.h"
#include "system/KeyboardLayouts.h"

#include <filesystem>
#include <fstream>

namespace {

constexpr uint32_t kCtrl = 2;
constexpr uint32_t kNum = 64;

class ConditionsViewTest : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        // Three layouts, the second one in use.
        ::setenv("CORVANE_XKB_LAYOUTS", "us,de(nodeadkeys),fr", 1);
        hook->setLayoutGroup(1);
    }
    void TearDown() override {
        EditorFixture::TearDown();
        ::unsetenv("CORVANE_XKB_LAYOUTS");
    }

    CKVConditionsView& view() { return *window().conditions(); }
    // A new layer, selected for editing as the layer tree does it.
    KVPtr<KVLayersItem> selectNewLayer() {
        auto layer = services().layers.Editing().NewLayer({}, {});
        select(layer);
        return layer;
    }
    void select(const KVPtr<KVLayersItem>& item) {
        window(); // opened first: the layer tree takes the focus then
        services().layers.SetEditedItem(item);
        services().dispatch.send<KVM_TREE_SELECTION_CHANGED>();
        settle();
    }
    // The add menu's command of this text, as the menu offers it when it opens.
    int commandNamed(const QString& text) {
        view().addMenu()->aboutToShow();
        for (auto* action : view().addMenu()->actions())
            if (action->text() == text)
                return action->data().toInt();
        return -1;
    }
    // Adds a condition from the menu and answers its row.
    CKVConditionRow* add(int command) {
        view().addMenu()->aboutToShow();
        for (auto* action : view().addMenu()->actions())
            if (action->data().toInt() == command) {
                action->trigger();
                settle();
                return view().rows().empty() ? nullptr : view().rows().back();
            }
        return nullptr;
    }
    bool undo(bool redo = false) {
        const bool done = redo ? services().layers.Editing().Redo() : services().layers.Editing().Undo();
        settle();
        return done;
    }
    template <class Combo> static void choose(Combo* combo, int index) {
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    // An executable file under the home folder.
    std::filesystem::path program(const std::string& name) {
        const auto path = home() / name;
        std::ofstream(path) << "#!/bin/sh\n";
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path;
    }
    // A catalogued application that no desktop entry knows: listed by its identifier.
    std::string catalogue(const std::string& name) {
        return services().applications.AddApplication(program(name), true).entry->id;
    }
    template <class T> KVPtr<T> condition(const CKVConditionRow* row) {
        return std::dynamic_pointer_cast<T>(row->condition());
    }
    template <class T> T* control(size_t row, const char* name) {
        return view().rows().at(row)->findChild<T*>(name);
    }
};

TEST_F(ConditionsViewTest, TheCaptionSaysWhetherTheItemHasConditionsOfItsOwn) {
    auto& box = *qobject_cast<QGroupBox*>(view().parentWidget());
    EXPECT_EQ(view().caption(), "Conditions");
    EXPECT_FALSE(view().addButton()->isEnabled()) << "nothing selected";
    selectNewLayer();
    EXPECT_EQ(view().caption(), "Conditions: use inherited");
    EXPECT_EQ(box.title(), view().caption()) << "the group box carries the caption";
    EXPECT_TRUE(view().addButton()->isEnabled());

    ASSERT_TRUE(add(CKVConditionsView::AddModifier));
    EXPECT_EQ(view().caption(), "Conditions");
    KVLayersController::KeySelection keys;
    services().layers.SetSelectedKeys(keys.set(3).set(4));
    services().dispatch.send<KVM_KEY_SELECTION_CHANGED>();
    EXPECT_EQ(view().caption(), "Conditions (multiple selection)");
    services().layers.SetSelectedKeys({});
    services().dispatch.send<KVM_KEY_SELECTION_CHANGED>();
    // The user layers carry the keyboard's own condition, which is not the user's to edit.
    select(services().cake.userLayers());
    EXPECT_EQ(view().caption(), "Conditions: use inherited");
    // The system layers are made afresh at every start: shown, not edited.
    const auto system = services().cake.systemLayers();
    ASSERT_TRUE(system && !system->children().empty());
    select(system->children().items().front());
    EXPECT_FALSE(view().addButton()->isEnabled());
    for (auto* row : view().rows())
        EXPECT_FALSE(row->isEnabled());
}

TEST_F(ConditionsViewTest, ModifierAndLockRowsTickKeysAsUndoableSteps) {
    auto layer = selectNewLayer();
    auto* modifierRow = add(CKVConditionsView::AddModifier);
    ASSERT_TRUE(modifierRow);
    auto modifier = condition<KVModifierCondition>(modifierRow);
    ASSERT_TRUE(modifier);
    EXPECT_TRUE(modifierRow->findChild<QCheckBox*>("key_Win"));
    EXPECT_FALSE(modifierRow->findChild<QCheckBox*>("key_Num")) << "lock keys have their own row";
    QTest::mouseClick(modifierRow->findChild<QCheckBox*>("key_Ctrl"), Qt::LeftButton);
    EXPECT_EQ(modifier->Mask(), kCtrl);
    EXPECT_FALSE(layer->isActive()) << "Ctrl is not held";

    auto* lockRow = add(CKVConditionsView::AddLock);
    ASSERT_TRUE(lockRow);
    auto lock = condition<KVModifierCondition>(lockRow);
    auto* num = lockRow->findChild<QCheckBox*>("key_Num");
    ASSERT_TRUE(num);
    num->setFocus();
    QTest::keyClick(num, Qt::Key_Space);
    EXPECT_EQ(lock->Mask(), kNum);
    saveScreenshots(view(), "conditions-modifiers");

    // The rows follow undo and redo.
    ASSERT_TRUE(undo());
    EXPECT_EQ(lock->Mask(), 0u);
    EXPECT_FALSE(control<QCheckBox>(1, "key_Num")->isChecked());
    ASSERT_TRUE(undo(true));
    EXPECT_TRUE(control<QCheckBox>(1, "key_Num")->isChecked());

    // A stored mask with a key of the other kind shows it, so that it can be taken out.
    modifier->SetMask(kCtrl | kNum);
    select(layer);
    auto* mixed = control<QCheckBox>(0, "key_Num");
    ASSERT_TRUE(mixed);
    EXPECT_TRUE(mixed->isChecked());
    QTest::mouseClick(mixed, Qt::LeftButton);
    EXPECT_EQ(modifier->Mask(), kCtrl);
}

TEST_F(ConditionsViewTest, ApplicationRowsChooseFromTheCatalogueAndAddPrograms) {
    catalogue("alpha-tool");
    const std::string beta = catalogue("beta-tool");
    auto layer = selectNewLayer();
    auto* row = add(CKVConditionsView::AddApplication);
    ASSERT_TRUE(row);
    auto application = condition<KVApplicationCondition>(row);
    ASSERT_TRUE(application);
    EXPECT_EQ(application->ApplicationId(), services().applications.applicationsByDisplayName().front().id)
        << "nothing else in front: the first known application";
    EXPECT_TRUE(application->Foreground());

    auto* predicate = row->findChild<QComboBox*>("predicate");
    auto* programs = row->findChild<CKVApplicationsComboBox*>("application");
    ASSERT_TRUE(predicate && programs);
    EXPECT_EQ(predicate->currentText(), "is active");
    EXPECT_EQ(programs->itemText(programs->count() - 1), "Add application...");
    choose(programs, programs->findText(QString::fromStdString(beta)));
    EXPECT_EQ(application->ApplicationId(), beta);
    choose(predicate, predicate->findText("is running"));
    EXPECT_FALSE(application->Foreground());

    // "Add application...": a program file is catalogued, kept on the user list and chosen; a file that
    // is no program, and a cancelled dialog, change nothing.
    const std::string gamma = catalogue("gamma-tool");
    const auto text = home() / "notes.txt";
    std::ofstream(text) << "text\n";
    for (const QString& chosen :
         {QString::fromStdString(program("Delta-Tool")), QString::fromStdString(text), QString()}) {
        programs->setProgramChooser([chosen](QWidget*) { return chosen; });
        choose(programs, programs->count() - 1);
        EXPECT_EQ(application->ApplicationId(), "delta-tool") << chosen.toStdString();
        EXPECT_EQ(programs->currentText(), "delta-tool");
    }
    const auto users = services().applications.userApplications();
    EXPECT_TRUE(
        std::any_of(users.begin(), users.end(), [](const auto& entry) { return entry.id == "delta-tool"; }));
    EXPECT_GE(programs->findText(QString::fromStdString(gamma)), 0) << "the list was read again";
    saveScreenshots(view(), "conditions-application");

    ASSERT_TRUE(undo());
    EXPECT_EQ(application->ApplicationId(), beta);
    ASSERT_TRUE(undo());
    EXPECT_EQ(control<QComboBox>(0, "predicate")->currentText(), "is active") << "the row follows undo";

    // A stored identifier that nothing catalogues is shown as it stands.
    application->SetApplicationId("Legacy.EXE");
    select(layer);
    EXPECT_EQ(control<CKVApplicationsComboBox>(0, "application")->currentText(), "Legacy.EXE");
}

TEST_F(ConditionsViewTest, LanguageRowsStartWithTheLayoutInUseAndARemovedRowIsUndoneInPlace) {
    auto layer = selectNewLayer();
    for (const auto command :
         {CKVConditionsView::AddModifier, CKVConditionsView::AddLanguage, CKVConditionsView::AddLock})
        ASSERT_TRUE(add(command));
    auto language = condition<KVSysLayoutCondition>(view().rows()[1]);
    ASSERT_TRUE(language);
    auto& layouts = services().layouts;
    const auto installed = layouts.InstalledLayouts();
    ASSERT_EQ(installed.size(), 3u);
    EXPECT_EQ(language->Layout(), installed[1]) << "the layout in use";

    auto* combo = control<CKVLanguagesComboBox>(1, "language");
    ASSERT_TRUE(combo);
    EXPECT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->currentText().toStdString(), layouts.LayerTitle(installed[1]));
    choose(combo, 2);
    EXPECT_EQ(language->Layout(), installed[2]);
    EXPECT_FALSE(layer->isActive()) << "French is not in use";
    ASSERT_TRUE(undo());
    EXPECT_EQ(control<CKVLanguagesComboBox>(1, "language")->keyboardLayout(), installed[1]);

    QTest::mouseClick(control<QToolButton>(1, "remove"), Qt::LeftButton);
    settle();
    ASSERT_EQ(view().rows().size(), 2u);
    EXPECT_EQ(layer->conditions().size(), 2u);
    ASSERT_TRUE(undo());
    ASSERT_EQ(view().rows().size(), 3u);
    EXPECT_EQ(view().rows()[1]->condition(), language) << "back in its place";
    ASSERT_TRUE(undo(true));
    EXPECT_EQ(view().rows().size(), 2u);
}

TEST_F(ConditionsViewTest, PluginConditionsComeFromTheMenuByNameAndTheirPanelsLiveInTheirRow) {
    services().plugins.add(SamplePlugin::make());
    auto layer = selectNewLayer();

    auto* row = add(commandNamed("Always, with settings"));
    ASSERT_TRUE(row);
    EXPECT_EQ(SamplePlugin::panelsMade, 1);
    ASSERT_TRUE(SamplePlugin::lastPanel);
    EXPECT_TRUE(row->isAncestorOf(SamplePlugin::lastPanel));
    EXPECT_TRUE(layer->isActive()) << "the plug-in says it holds";
    // Showing another item takes the panel down through the plug-in, once.
    select(services().cake.userLayers());
    EXPECT_EQ(SamplePlugin::panelsDestroyed, 1);
    EXPECT_FALSE(SamplePlugin::lastPanel);
    select(layer);
    EXPECT_EQ(SamplePlugin::panelsMade, 2);
    QTest::mouseClick(control<QToolButton>(0, "remove"), Qt::LeftButton);
    settle();
    EXPECT_EQ(SamplePlugin::panelsDestroyed, 2);
    EXPECT_TRUE(view().rows().empty());

    const int between = commandNamed("Between two times");
    ASSERT_GE(between, int(CKVConditionsView::FirstPluginCondition)) << "the shipped TimeOfDay plug-in";
    row = add(between);
    ASSERT_TRUE(row);
    auto instance = condition<KVConditionPluginInstance>(row);
    ASSERT_TRUE(instance);
    EXPECT_EQ(instance->PluginID() + "/" + instance->SubPluginID(), "TimeOfDay/Between");
    EXPECT_TRUE(instance->HasObject()) << "an added condition starts at once";
    EXPECT_EQ(row->accessibleName(), "Between two times condition");
    EXPECT_FALSE(layer->isActive()) << "no times set: it never holds";
    catalogue("gimp");
    for (const auto command :
         {CKVConditionsView::AddModifier, CKVConditionsView::AddApplication, CKVConditionsView::AddLanguage})
        ASSERT_TRUE(add(command));
    window().resize(1100, 800);
    settle();
    saveScreenshots(*view().parentWidget(), "conditions-rows");

    for (int step = 0; step < 4; ++step)
        ASSERT_TRUE(undo());
    EXPECT_FALSE(instance->HasObject()) << "a removed plug-in condition lets go of its plug-in";
    ASSERT_TRUE(undo(true));
    EXPECT_TRUE(instance->HasObject());
    EXPECT_EQ(view().rows().size(), 1u);
}

} // namespace
