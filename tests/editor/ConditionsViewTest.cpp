#include "editor/ConditionsView.h"

#include "EditorFixture.h"
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
#include "store/StoreFolders.h"
#include "system/ApplicationsController.h"
#include "system/KeyboardLayouts.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
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
    QAction* menuAction(int command) {
        view().addMenu()->aboutToShow();
        for (auto* action : view().addMenu()->actions())
            if (action->data().toInt() == command)
                return action;
        return nullptr;
    }
    // Adds a condition from the menu and answers its row.
    CKVConditionRow* add(int command) {
        auto* action = menuAction(command);
        if (!action)
            return nullptr;
        action->trigger();
        settle();
        return view().rows().empty() ? nullptr : view().rows().back();
    }
    bool undo() {
        const bool done = services().layers.Editing().Undo();
        settle();
        return done;
    }
    bool redo() {
        const bool done = services().layers.Editing().Redo();
        settle();
        return done;
    }
    template <class Combo> static void choose(Combo* combo, int index) {
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    template <class Combo> static int indexOfText(Combo* combo, const QString& text) {
        return combo->findText(text);
    }
    // A catalogued application that no desktop entry knows: listed by its identifier.
    std::string catalogue(const std::string& name) {
        const auto path = home() / name;
        std::ofstream(path) << "#!/bin/sh\n";
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return services().applications.AddApplication(path, true).entry->id;
    }
    template <class T> KVPtr<T> condition(const CKVConditionRow* row) {
        return std::dynamic_pointer_cast<T>(row->condition());
    }
};

TEST_F(ConditionsViewTest, TheCaptionSaysWhetherTheItemHasConditionsOfItsOwn) {
    auto& box = *qobject_cast<QGroupBox*>(view().parentWidget());
    EXPECT_EQ(view().caption(), "Conditions");
    EXPECT_FALSE(view().addButton()->isEnabled()) << "nothing selected";

    auto layer = selectNewLayer();
    EXPECT_EQ(view().caption(), "Conditions: use inherited");
    EXPECT_EQ(box.title(), view().caption()) << "the group box carries the caption";
    EXPECT_TRUE(view().addButton()->isEnabled());

    ASSERT_TRUE(add(CKVConditionsView::AddModifier));
    EXPECT_EQ(view().caption(), "Conditions");

    KVLayersController::KeySelection keys;
    keys.set(3).set(4);
    services().layers.SetSelectedKeys(keys);
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
    EXPECT_EQ(modifier->Type(), "modifier");
    EXPECT_EQ(modifier->Mask(), 0u);
    EXPECT_TRUE(modifierRow->findChild<QCheckBox*>("key_Win"));
    EXPECT_FALSE(modifierRow->findChild<QCheckBox*>("key_Num")) << "lock keys have their own row";

    QTest::mouseClick(modifierRow->findChild<QCheckBox*>("key_Ctrl"), Qt::LeftButton);
    EXPECT_EQ(modifier->Mask(), kCtrl);
    EXPECT_FALSE(layer->isActive()) << "Ctrl is not held";

    auto* lockRow = add(CKVConditionsView::AddLock);
    ASSERT_TRUE(lockRow);
    auto lock = condition<KVModifierCondition>(lockRow);
    EXPECT_EQ(lock->Type(), "lock");
    auto* num = lockRow->findChild<QCheckBox*>("key_Num");
    ASSERT_TRUE(num);
    num->setFocus();
    QTest::keyClick(num, Qt::Key_Space);
    EXPECT_EQ(lock->Mask(), kNum);
    saveScreenshots(view(), "conditions-modifiers");

    // Undo goes back step by step, and the rows show it.
    ASSERT_TRUE(undo());
    EXPECT_EQ(lock->Mask(), 0u);
    ASSERT_EQ(view().rows().size(), 2u);
    EXPECT_FALSE(view().rows()[1]->findChild<QCheckBox*>("key_Num")->isChecked());
    ASSERT_TRUE(undo());
    EXPECT_EQ(view().rows().size(), 1u);
    ASSERT_TRUE(undo());
    EXPECT_TRUE(layer->isActive()) << "an empty mask always holds";
    EXPECT_FALSE(view().rows()[0]->findChild<QCheckBox*>("key_Ctrl")->isChecked());
    ASSERT_TRUE(redo());
    EXPECT_TRUE(view().rows()[0]->findChild<QCheckBox*>("key_Ctrl")->isChecked());

    // A stored mask with a key of the other kind shows it, so that it can be taken out.
    modifier->SetMask(kCtrl | kNum);
    select(layer);
    auto* mixed = view().rows()[0]->findChild<QCheckBox*>("key_Num");
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
    const std::string started = application->ApplicationId();
    EXPECT_EQ(started, services().applications.applicationsByDisplayName().front().id)
        << "nothing else in front: the first known application";
    EXPECT_TRUE(application->Foreground());

    auto* predicate = row->findChild<QComboBox*>("predicate");
    auto* programs = row->findChild<CKVApplicationsComboBox*>("application");
    ASSERT_TRUE(predicate && programs);
    EXPECT_EQ(predicate->currentText(), "is active");
    EXPECT_EQ(programs->itemText(programs->count() - 1), "Add application...");

    choose(programs, indexOfText(programs, QString::fromStdString(beta)));
    EXPECT_EQ(application->ApplicationId(), beta);
    choose(predicate, indexOfText(predicate, "is running"));
    EXPECT_FALSE(application->Foreground());

    // "Add application...": a program file is catalogued, kept on the user list and chosen.
    const std::string gamma = catalogue("gamma-tool");
    const auto deltaPath = home() / "Delta-Tool";
    std::ofstream(deltaPath) << "#!/bin/sh\n";
    std::filesystem::permissions(deltaPath, std::filesystem::perms::owner_all);
    programs->setProgramChooser([&](QWidget*) { return QString::fromStdString(deltaPath); });
    choose(programs, programs->count() - 1);
    EXPECT_EQ(application->ApplicationId(), "delta-tool");
    EXPECT_EQ(programs->currentText(), "delta-tool");
    const auto users = services().applications.userApplications();
    EXPECT_TRUE(
        std::any_of(users.begin(), users.end(), [](const auto& entry) { return entry.id == "delta-tool"; }));
    EXPECT_GE(indexOfText(programs, QString::fromStdString(gamma)), 0) << "the list was read again";

    // A file that is no program, and a cancelled dialog, change nothing.
    const auto text = home() / "notes.txt";
    std::ofstream(text) << "text\n";
    programs->setProgramChooser([&](QWidget*) { return QString::fromStdString(text); });
    choose(programs, programs->count() - 1);
    EXPECT_EQ(application->ApplicationId(), "delta-tool");
    EXPECT_EQ(programs->currentText(), "delta-tool");
    programs->setProgramChooser([](QWidget*) { return QString(); });
    choose(programs, programs->count() - 1);
    EXPECT_EQ(programs->currentText(), "delta-tool");
    saveScreenshots(view(), "conditions-application");

    ASSERT_TRUE(undo());
    EXPECT_EQ(application->ApplicationId(), beta);
    ASSERT_TRUE(undo());
    EXPECT_TRUE(application->Foreground());
    EXPECT_EQ(view().rows()[0]->findChild<QComboBox*>("predicate")->currentText(), "is active");
    ASSERT_TRUE(undo());
    EXPECT_EQ(application->ApplicationId(), started);
    ASSERT_TRUE(redo());
    EXPECT_EQ(view().rows()[0]->findChild<CKVApplicationsComboBox*>("application")->application(), beta);

    // A stored identifier that nothing catalogues is shown as it stands.
    application->SetApplicationId("Legacy.EXE");
    select(layer);
    EXPECT_EQ(view().rows()[0]->findChild<CKVApplicationsComboBox*>("application")->currentText(),
              "Legacy.EXE");
}

TEST_F(ConditionsViewTest, LanguageRowsStartWithTheLayoutInUseAndOfferTheInstalledOnes) {
    auto layer = selectNewLayer();
    auto* row = add(CKVConditionsView::AddLanguage);
    ASSERT_TRUE(row);
    auto language = condition<KVSysLayoutCondition>(row);
    ASSERT_TRUE(language);
    auto& layouts = services().layouts;
    const auto installed = layouts.InstalledLayouts();
    ASSERT_EQ(installed.size(), 3u);
    EXPECT_EQ(language->Layout(), installed[1]) << "the layout in use";
    EXPECT_TRUE(layer->isActive());

    auto* combo = row->findChild<CKVLanguagesComboBox*>("language");
    ASSERT_TRUE(combo);
    EXPECT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->currentText().toStdString(), layouts.LayerTitle(installed[1]));
    choose(combo, 2);
    EXPECT_EQ(language->Layout(), installed[2]);
    EXPECT_FALSE(layer->isActive()) << "French is not in use";

    ASSERT_TRUE(undo());
    EXPECT_EQ(language->Layout(), installed[1]);
    EXPECT_TRUE(layer->isActive());
    ASSERT_TRUE(redo());
    EXPECT_EQ(view().rows()[0]->findChild<CKVLanguagesComboBox*>("language")->keyboardLayout(), installed[2]);
}

TEST_F(ConditionsViewTest, RemovingARowIsUndoneInPlaceAndConditionsAreSavedWithTheItem) {
    auto layer = selectNewLayer();
    ASSERT_TRUE(add(CKVConditionsView::AddModifier));
    ASSERT_TRUE(add(CKVConditionsView::AddLanguage));
    ASSERT_TRUE(add(CKVConditionsView::AddLock));
    auto middle = view().rows()[1]->condition();

    QTest::mouseClick(view().rows()[1]->findChild<QToolButton*>("remove"), Qt::LeftButton);
    settle();
    ASSERT_EQ(view().rows().size(), 2u);
    EXPECT_EQ(layer->conditions().size(), 2u);
    ASSERT_TRUE(undo());
    ASSERT_EQ(view().rows().size(), 3u);
    EXPECT_EQ(view().rows()[1]->condition(), middle) << "back in its place";
    ASSERT_TRUE(redo());
    EXPECT_EQ(view().rows().size(), 2u);

    window().close();
    settle();
    std::filesystem::path plist;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(KVStoreFolders().layersFolder()))
        if (entry.path().filename() == "Layer.plist" &&
            entry.path().parent_path().filename() == layer->identifier())
            plist = entry.path();
    ASSERT_FALSE(plist.empty()) << "the layer was saved";
    std::ifstream in(plist);
    const std::string stored((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(stored.find("<string>modifier</string>"), std::string::npos) << stored;
    EXPECT_NE(stored.find("<string>lock</string>"), std::string::npos);
    EXPECT_EQ(stored.find("<string>language</string>"), std::string::npos) << "the removed one is gone";
}

TEST_F(ConditionsViewTest, PluginConditionsComeFromTheMenuByTheirNames) {
    auto layer = selectNewLayer();
    auto* action = menuAction(CKVConditionsView::FirstPluginCondition);
    ASSERT_TRUE(action) << "the shipped TimeOfDay plug-in offers a condition";
    int between = 0;
    view().addMenu()->aboutToShow();
    for (auto* each : view().addMenu()->actions())
        if (each->text() == "Between two times")
            between = each->data().toInt();
    ASSERT_GE(between, int(CKVConditionsView::FirstPluginCondition));

    auto* row = add(between);
    ASSERT_TRUE(row);
    auto instance = condition<KVConditionPluginInstance>(row);
    ASSERT_TRUE(instance);
    EXPECT_EQ(instance->PluginID(), "TimeOfDay");
    EXPECT_EQ(instance->SubPluginID(), "Between");
    EXPECT_TRUE(instance->HasObject()) << "an added condition starts at once";
    EXPECT_EQ(row->accessibleName(), "Between two times condition");
    EXPECT_FALSE(layer->isActive()) << "no times set: it never holds";
    catalogue("gimp");
    ASSERT_TRUE(add(CKVConditionsView::AddModifier));
    ASSERT_TRUE(add(CKVConditionsView::AddApplication));
    ASSERT_TRUE(add(CKVConditionsView::AddLanguage));
    window().resize(1100, 800);
    settle();
    saveScreenshots(*view().parentWidget(), "conditions-rows");

    for (int step = 0; step < 4; ++step)
        ASSERT_TRUE(undo());
    EXPECT_TRUE(layer->conditions().empty());
    EXPECT_FALSE(instance->HasObject()) << "a removed plug-in condition lets go of its plug-in";
    ASSERT_TRUE(redo());
    EXPECT_TRUE(instance->HasObject());
    EXPECT_EQ(view().rows().size(), 1u);
}

// A condition plug-in living in the test, with a settings panel, to see the panel come and go.
struct PanelPlugin {
    struct Object {
        IKVPluginObject object;
        IKVPluginPanel panel;
    };
    inline static int created = 0;
    inline static int destroyed = 0;
    inline static QPointer<QWidget> widget;

    static IKVPluginObject* create(const char*, IKVConditionPluginContext* context) {
        static const IKVPluginPanelVtbl panelTable = {
            .CreatePanel = [](IKVPluginPanel*, void* parent) -> void* {
                ++created;
                widget = new QLabel(QStringLiteral("Plug-in settings"), static_cast<QWidget*>(parent));
                return widget.data();
            },
            .DestroyPanel =
                [](IKVPluginPanel*) {
                    ++destroyed;
                    delete widget.data();
                },
            .DropFile = nullptr,
        };
        static const IKVPluginObjectVtbl objectTable = {
            .GetPanel = [](IKVPluginObject* self) { return &reinterpret_cast<Object*>(self)->panel; },
            .Destroy = [](IKVPluginObject* self) { delete reinterpret_cast<Object*>(self); },
            .Start = nullptr,
            .Stop = nullptr,
        };
        context->vtbl->SetState(context, 1);
        return &(new Object{{&objectTable}, {&panelTable}})->object;
    }
};

TEST_F(ConditionsViewTest, APluginPanelIsShownInItsRowAndTakenDownByThePlugin) {
    auto plugin = KVPluginInfo::inProcess("PanelTest", {nullptr, nullptr, &PanelPlugin::create});
    auto sub = std::make_shared<KVSubPluginInfo>();
    sub->SubPluginID = "Always";
    sub->displayName = "Always, with settings";
    sub->hasPanel = true;
    plugin->addSubPlugin(KVSubPluginKind::Condition, sub);
    services().plugins.add(plugin);

    auto layer = selectNewLayer();
    int command = 0;
    view().addMenu()->aboutToShow();
    for (auto* each : view().addMenu()->actions())
        if (each->text() == "Always, with settings")
            command = each->data().toInt();
    auto* row = add(command);
    ASSERT_TRUE(row);
    EXPECT_EQ(PanelPlugin::created, 1);
    ASSERT_TRUE(PanelPlugin::widget);
    EXPECT_TRUE(row->isAncestorOf(PanelPlugin::widget));
    EXPECT_TRUE(layer->isActive()) << "the plug-in says it holds";

    // Showing another item takes the panel down through the plug-in, once.
    select(services().cake.userLayers());
    EXPECT_EQ(PanelPlugin::destroyed, 1);
    EXPECT_FALSE(PanelPlugin::widget);
    select(layer);
    EXPECT_EQ(PanelPlugin::created, 2);

    QTest::mouseClick(view().rows()[0]->findChild<QToolButton*>("remove"), Qt::LeftButton);
    settle();
    EXPECT_EQ(PanelPlugin::destroyed, 2);
    EXPECT_TRUE(view().rows().empty());
}

} // namespace
