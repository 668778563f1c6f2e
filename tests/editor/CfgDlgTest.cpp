#include "EditorFixture.h"
#include "WindowTestSupport.h"
#include "editor/EditorFileCommands.h"
#include "editor/KeyboardPropertiesDlg.h"
#include "editor/LayersTreeCtrl.h"
#include "editor/LayersTreeModel.h"
#include "layers/KeyNames.h"
#include "layers/LayerCake.h"
#include "layers/LayersController.h"
#include "layers/PictureLayer.h"
#include "shell/TrayIcon.h"
#include "store/StoreFolders.h"

#include <filesystem>

namespace {

// Answers every file question with `answer` and remembers the titles asked.
struct AnsweringChooser final : IKVFileChooser {
    explicit AnsweringChooser(QString a, QStringList* t) : answer(std::move(a)), titles(t) {}
    QString openFile(QWidget*, const QString& title, const QString&) override { return ask(title); }
    QString saveFile(QWidget*, const QString& title, const QString&, const QString& suffix,
                     const QString&) override {
        const QString path = ask(title);
        return path.isEmpty() || path.contains('.') ? path : path + "." + suffix;
    }
    QString folder(QWidget*, const QString& title) override { return ask(title); }
    QString ask(const QString& title) {
        titles->push_back(title);
        return answer;
    }
    QString answer;
    QStringList* titles;
};

// A keyboard picture whose tiles of `keys` are filled with their colours; saved as PNG at `path`.
void writeKeyboardPicture(const std::string& path, const std::vector<std::pair<unsigned, QColor>>& keys) {
    QImage picture(corvane::layers::kLayerPictureWidth, corvane::layers::kLayerPictureHeight,
                   QImage::Format_RGB32);
    picture.fill(Qt::black);
    QPainter painter(&picture);
    for (const auto& [key, colour] : keys)
        painter.fillRect(corvane::layers::tileOrigin(key).x, corvane::layers::tileOrigin(key).y, 48, 48,
                         colour);
    painter.end();
    picture.save(QString::fromStdString(path));
}

class CfgDlgTest : public EditorFixture {
protected:
    void answerFiles(const std::string& path) {
        window().fileCommands().setChooser(
            std::make_unique<AnsweringChooser>(QString::fromStdString(path), &titles));
    }
    QAction& command(CKVCfgDlg::Command which) { return *window().action(which); }
    KVPtr<KVLayersGroup> user() { return services().cake.userLayers(); }
    QStringList titles;
};

} // namespace

TEST_F(CfgDlgTest, TheWindowOffersEveryCommandInItsMenusAndHelpIsTheTrays) {
    auto& dlg = window();
    EXPECT_EQ(dlg.windowTitle().toStdString(), "Tavirex Corvane Configurator");
    ASSERT_TRUE(dlg.tree() && dlg.keyboardView() && dlg.conditions() && dlg.keyProperties());
    QStringList menus;
    QList<QAction*> inMenus;
    for (QAction* menu : dlg.menuBar()->actions()) {
        menus << menu->text();
        for (QAction* entry : menu->menu()->actions())
            inMenus << entry << (entry->menu() ? entry->menu()->actions() : QList<QAction*>{});
    }
    EXPECT_EQ(menus.join(","), "&File,&Edit,&Keyboard,&Help");
    for (int each = 0; each < CKVCfgDlg::CommandCount; ++each) {
        EXPECT_FALSE(dlg.action(CKVCfgDlg::Command(each))->toolTip().isEmpty()) << each;
        EXPECT_TRUE(inMenus.contains(dlg.action(CKVCfgDlg::Command(each))))
            << "command " << each << " has no menu entry";
    }

    DispatchProbe probe(services().dispatch);
    for (const auto each : {CKVCfgDlg::About, CKVCfgDlg::Forum, CKVCfgDlg::ContactSupport})
        command(each).trigger();
    EXPECT_EQ(probe.commands,
              (std::vector<unsigned>{KVTrayIcon::About, KVTrayIcon::Forum, KVTrayIcon::ContactSupport}));
    bool opened = false;
    whenDialogOpens([&](QWidget* dialog) {
        opened = dynamic_cast<CKVKeyboardPropertiesDlg*>(dialog) != nullptr;
        static_cast<QDialog*>(dialog)->reject();
    });
    command(CKVCfgDlg::Properties).trigger();
    EXPECT_TRUE(opened);
}

TEST_F(CfgDlgTest, DeleteAsksFirstAndUndoRedoNameTheStep) {
    auto work = services().layers.Editing().NewLayer(user(), nullptr);
    window().tree()->rebuild();
    window().tree()->selectItem(work.get());

    QString asked;
    answerNextMessageBox(QMessageBox::Cancel, &asked);
    QTest::keyClick(window().tree(), Qt::Key_Delete);
    window().activateWindow(); // the box had it
    EXPECT_EQ(asked.toStdString(), "Tavirex Corvane Configurator|Delete New layer?");
    EXPECT_TRUE(user()->children().find(work->identifier())) << "Cancel keeps it";

    answerNextMessageBox(QMessageBox::Ok, &asked);
    command(CKVCfgDlg::Delete).trigger();
    window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    EXPECT_FALSE(user()->children().find(work->identifier()));
    EXPECT_EQ(command(CKVCfgDlg::Undo).text().toStdString(), "Undo Delete layer New layer");
    EXPECT_EQ(window().statusBar()->currentMessage().toStdString(), "Delete layer New layer");

    QTest::keyClick(&window(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(window().tree()->layersModel().indexOf(work.get()).isValid());
    EXPECT_EQ(command(CKVCfgDlg::Redo).text().toStdString(), "Redo Delete layer New layer");
    QTest::keyClick(&window(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(user()->children().find(work->identifier()));
    EXPECT_FALSE(command(CKVCfgDlg::Redo).isEnabled());
}

TEST_F(CfgDlgTest, ImportsGoInAtTheSelectionExportsAndTheDumpWriteFilesAndDamageIsSaidInWords) {
    auto& editing = services().layers.Editing();
    for (const auto& item : std::vector(user()->children().begin(), user()->children().end()))
        editing.Delete(item);
    window().tree()->rebuild();
    saveScreenshots(window(), "main-window-no-layers");

    const std::string picture = home() / "Pictures.png";
    writeKeyboardPicture(picture, {{0, QColor(200, 40, 40)}, {1, QColor(40, 160, 60)}});
    answerFiles(picture);
    command(CKVCfgDlg::ImportLayerImage).trigger();
    const auto layer = std::dynamic_pointer_cast<KVLayer>(services().layers.EditedItem());
    ASSERT_TRUE(layer) << "the new layer is selected";
    EXPECT_EQ(layer->displayName(), "Pictures");
    EXPECT_TRUE(layer->binding(0).image && layer->binding(1).image && !layer->binding(2).image);

    const std::string archive = home() / "pictures";
    answerFiles(archive);
    command(CKVCfgDlg::ExportLayer).trigger();
    ASSERT_TRUE(std::filesystem::exists(archive + ".layers"));
    answerFiles(home() / "whole.png");
    command(CKVCfgDlg::ExportLayerImage).trigger();
    EXPECT_TRUE(std::filesystem::exists(home() / "whole.png"));

    answerFiles(archive + ".layers");
    command(CKVCfgDlg::ImportLayer).trigger();
    const auto copy = services().layers.EditedItem();
    ASSERT_TRUE(copy && copy != layer);
    EXPECT_EQ(copy->displayName(), "Pictures");
    EXPECT_EQ(user()->children().items().front(), copy) << "in the selected layer's place";
    auto group = editing.NewGroup(user(), nullptr);
    editing.NewLayer(group, nullptr);
    editing.NewGroup(group, nullptr);
    window().tree()->rebuild();
    window().tree()->selectItem(copy.get());
    saveScreenshots(window(), "main-window-picture-layer");

    // A damaged archive is said in words, and nothing changes.
    const size_t before = user()->children().size();
    std::filesystem::resize_file(archive + ".layers", 10);
    QString said;
    answerNextMessageBox(QMessageBox::Ok, &said);
    command(CKVCfgDlg::ImportLayer).trigger();
    EXPECT_NE(said.indexOf("was not imported"), -1) << said.toStdString();
    EXPECT_EQ(user()->children().size(), before);

    // The keyboard dump: a cancelled folder question changes nothing, a chosen folder gets it.
    answerFiles("");
    command(CKVCfgDlg::ExportLayout).trigger();
    const std::string folder = home() / "dump";
    std::filesystem::create_directories(folder);
    answerFiles(folder);
    command(CKVCfgDlg::ExportLayout).trigger();
    EXPECT_TRUE(std::filesystem::exists(folder + "/Tavirex"))
        << window().statusBar()->currentMessage().toStdString();
    EXPECT_EQ(titles.join(",").toStdString(),
              "Import Layer from Image,Export Layer,Export Layer Image,Import "
              "Layer,Import Layer,Select destination folder for dumping,Select "
              "destination folder for dumping");
}

TEST_F(CfgDlgTest, ClosingToTheTraySavesAndExitEndsTheProgramAfterSaving) {
    QPointer<CKVCfgDlg> dlg(&window());
    ASSERT_TRUE(services().layers.Editing().NewLayer(user(), nullptr));
    QTest::keyClick(dlg.data(), Qt::Key_W, Qt::ControlModifier);
    settle();
    EXPECT_TRUE(dlg.isNull()) << "the window is gone";
    const std::filesystem::path layers = KVStoreFolders().layersFolder();
    ASSERT_TRUE(std::filesystem::exists(layers) && !std::filesystem::is_empty(layers));
    EXPECT_FALSE(services().dispatch.IsDestroyed()) << "the program keeps running";

    dlg = &window();
    auto later = services().layers.Editing().NewLayer(user(), nullptr);
    QTest::keyClick(dlg.data(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(dlg.isNull()) << "the request is posted, not carried out inside the window's own code";
    auto& dispatch = services().dispatch;
    for (int waited = 0; !dispatch.IsDestroyed() && waited < 250; ++waited)
        settle();
    EXPECT_TRUE(dlg.isNull());
    EXPECT_TRUE(dispatch.IsDestroyed()) << "the program ends";
    EXPECT_TRUE(std::filesystem::exists(layers / "user_layers" / later->identifier()))
        << "saved on the way out";
    // The program's loop was told to end, which would end every later event loop of this test binary at
    // once (menus, dialogs); one turn of the application's own loop takes the request.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QApplication::exec();
}
