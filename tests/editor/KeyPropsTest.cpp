#include "editor/KeyProps.h"

#include "EditorFixture.h"
#include "WindowTestSupport.h"
#include "core/MessageDispatch.h"
#include "editor/ActionProps.h"
#include "editor/DisplayProps.h"
#include "editor/FileIcons.h"
#include "editor/KeyFileDrop.h"
#include "editor/KeyPreview.h"
#include "editor/PluginProps.h"
#include "editor/ViewProps.h"
#include "images/LoadKeyImage.h"
#include "layers/KeyBinding.h"
#include "layers/Layer.h"
#include "layers/LayerEvaluation.h"
#include "layers/LayersController.h"
#include "plugins/ActionPluginInstance.h"
#include "plugins/PluginRegistry.h"
#include "plugins/ViewPluginInstance.h"

#include <filesystem>
#include <fstream>
#include <utility>

// Texts in failure messages.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

constexpr unsigned kF5 = 5, kF6 = 6, kF7 = 7;

// A picture file of one colour.
std::string writePicture(const std::filesystem::path& path, QColor colour, QSize size = {100, 50}) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    EXPECT_TRUE(image.save(QString::fromStdString(path.string())));
    return path.string();
}

bool near(QColor a, QColor b) {
    return a.isValid() && std::abs(a.red() - b.red()) < 8 && std::abs(a.green() - b.green()) < 8 &&
           std::abs(a.blue() - b.blue()) < 8;
}

// Whether the middle of a key picture has about this colour.
bool showsColour(const KVPtr<KVImage>& picture, QColor colour) {
    if (!picture || !picture->isKeySized())
        return false;
    const uint8_t* pixel = picture->scanLine(24) + 24 * KVImage::kBytesPerPixel;
    return near(QColor(pixel[2], pixel[1], pixel[0]), colour);
}

class KeyPropsTest : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    }

    KVPtr<KVLayer> newLayer() {
        auto layer = services().layers.Editing().NewLayer(services().cake.userLayers(), {});
        EXPECT_TRUE(layer);
        return layer;
    }
    CKVPluginProps& panels() {
        auto* props = window().keyProperties()->pluginProps();
        if (!props)
            throw std::runtime_error("the display and action panels are not shown");
        return *props;
    }
    void undo(bool redo = false) {
        redo ? services().layers.Editing().Redo() : services().layers.Editing().Undo();
        settle();
    }
    QString status() { return window().statusBar()->currentMessage(); }
    QWidget& keyBox() { return *window().keyProperties()->parentWidget(); }
    size_t steps() { return services().layers.Editing().history().count(); }
    std::filesystem::path file(const std::string& name) { return home().path() / name; }
};

TEST_F(KeyPropsTest, TheBoxShowsThePanelsThatFitTheItemAndAKeyTakesAPictureOrAShippedView) {
    auto& props = *window().keyProperties();
    EXPECT_TRUE(props.isHidden()) << "no item selected";

    select(newLayer(), {});
    ASSERT_TRUE(props.pluginProps());
    EXPECT_FALSE(props.isHidden());
    QPointer<CKVPluginProps> plugins = props.pluginProps();
    EXPECT_EQ(plugins->display()->chooser()->text(), "Select a plugin");
    EXPECT_FALSE(plugins->display()->chooser()->isEnabled());

    const auto layer = newLayer();
    select(layer, {kF5});
    EXPECT_EQ(props.pluginProps(), plugins.data()) << "another user layer keeps the panels";
    EXPECT_EQ(plugins->display()->chooser()->text(), "Image");
    EXPECT_EQ(plugins->action()->chooser()->text(), "Key press");
    EXPECT_TRUE(plugins->chain()->isChecked());

    // Every control can be found and explained by a screen reader, and reached with Tab.
    for (QWidget* control : plugins->findChildren<QWidget*>()) {
        if (!qobject_cast<QAbstractButton*>(control) && !qobject_cast<QLineEdit*>(control) &&
            !qobject_cast<QComboBox*>(control))
            continue;
        // Parts of a control (a line edit's clear button) are named by the control.
        if (qobject_cast<QLineEdit*>(control->parentWidget()) ||
            qobject_cast<QComboBox*>(control->parentWidget()))
            continue;
        EXPECT_FALSE(control->accessibleName().isEmpty()) << control->metaObject()->className();
        EXPECT_FALSE(control->toolTip().isEmpty()) << control->accessibleName().toStdString();
        EXPECT_TRUE(control->focusPolicy() & Qt::TabFocus) << control->accessibleName().toStdString();
    }

    auto* display = panels().display();
    const size_t before = steps();

    display->pathEdit()->setFocus();
    QTest::keyClicks(display->pathEdit(), QString::fromStdString(writePicture(file("red.png"), Qt::red)));
    QTest::keyClick(display->pathEdit(), Qt::Key_Return);
    EXPECT_TRUE(showsColour(layer->binding(kF5).image, Qt::red));
    EXPECT_TRUE(status().startsWith("F5 shows red.png")) << status().toStdString();
    EXPECT_TRUE(near(panels().preview()->picture().pixelColor(24, 24), Qt::red));
    saveScreenshots(keyBox(), "keyprops-image");

    // A path that gives nothing changes nothing.
    display->applyPath(QString::fromStdString(file("missing.png").string()));
    EXPECT_TRUE(showsColour(layer->binding(kF5).image, Qt::red));
    EXPECT_TRUE(status().contains("does not exist")) << status().toStdString();

    const auto green = writePicture(file("green.png"), Qt::green);
    QString title;
    QStringList filters;
    whenDialogOpens([&](QWidget* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        ASSERT_TRUE(files);
        title = files->windowTitle();
        filters = files->nameFilters();
        files->selectFile(QString::fromStdString(green));
        static_cast<QDialog*>(files)->accept();
    });
    QTest::mouseClick(display->browseButton(), Qt::LeftButton);
    EXPECT_EQ(title, "Select a picture for a button");
    EXPECT_EQ(filters, QStringList({"Images (*.bmp *.jpg *.gif *.tiff *.psd *.png)", "All files (*)"}));
    EXPECT_TRUE(showsColour(layer->binding(kF5).image, Qt::green));
    EXPECT_EQ(display->pathEdit()->text().toStdString(), green);

    dropOn(display, {QString::fromStdString(writePicture(file("blue.png"), Qt::blue))});
    EXPECT_TRUE(showsColour(layer->binding(kF5).image, Qt::blue));
    EXPECT_EQ(steps(), before + 3) << "one step per change, none for the refused path";

    // An empty path takes the picture away.
    display->applyPath({});
    EXPECT_FALSE(layer->binding(kF5).image);
    undo();
    EXPECT_TRUE(showsColour(layer->binding(kF5).image, Qt::blue));
    EXPECT_TRUE(near(panels().preview()->picture().pixelColor(24, 24), Qt::blue)) << "refreshed after undo";

    select(layer, {kF6});
    EXPECT_TRUE(menuEntry(display->chooserMenu(), {}, "Image")->isChecked());
    QAction* time = menuEntry(display->chooserMenu(), "Clock", "Time");
    ASSERT_TRUE(time) << "the shipped plug-ins are offered by display name";
    time->trigger();
    settle(50);
    const auto& view = layer->binding(kF6).viewPlugin;
    ASSERT_TRUE(view);
    EXPECT_EQ(view->PluginID() + "/" + view->SubPluginID(), "Clock/Time");
    EXPECT_EQ(display->chooser()->text(), "Time");
    EXPECT_FALSE(display->pathEdit()->isVisibleTo(display)) << "path controls only for Image";
    EXPECT_TRUE(menuEntry(display->chooserMenu(), "Clock", "Time")->isChecked());
    EXPECT_FALSE(layer->binding(kF6).actionPlugin) << "Clock pairs no action";
    EXPECT_EQ(status(), "F6: Time");
    saveScreenshots(keyBox(), "keyprops-clock");

    // Choosing it again changes nothing; "Image" takes it away.
    const size_t chosen = steps();
    menuEntry(display->chooserMenu(), "Clock", "Time")->trigger();
    EXPECT_EQ(steps(), chosen);
    menuEntry(display->chooserMenu(), {}, "Image")->trigger();
    EXPECT_FALSE(layer->binding(kF6).viewPlugin);
    EXPECT_TRUE(display->pathEdit()->isVisibleTo(display));

    KVPtr<KVLayer> labels;
    corvane::layers::forEachItem(services().cake.systemLayers()->children(), [&](const auto& item) {
        if (!labels)
            labels = std::dynamic_pointer_cast<KVLayer>(item);
    });
    ASSERT_TRUE(labels);
    select(labels, {kF5});
    EXPECT_TRUE(props.viewProps());
    EXPECT_TRUE(plugins.isNull()) << "the panels went with their kind";

    select(services().cake.userLayers(), {});
    EXPECT_TRUE(props.isHidden()) << "a group binds no keys";
}

TEST_F(KeyPropsTest, TheActionSendsAMultimediaCodeWithItsPictureWhileChainedOrThePickedKey) {
    const auto layer = newLayer();
    select(layer, {kF5});
    auto* action = panels().action();
    auto* list = action->multimediaList();
    ASSERT_EQ(list->count(), 17);
    EXPECT_EQ(list->itemText(0), "Browser back");
    EXPECT_EQ(list->itemData(16).toInt(), 0xA6);
    EXPECT_FALSE(list->itemIcon(7).isNull());

    list->setFocus();
    list->setCurrentIndex(6);
    QTest::keyClick(list, Qt::Key_Down); // to "Media mute"
    const auto& binding = layer->binding(kF5);
    EXPECT_EQ(binding.scanCode, 0x7B) << "the keyboard sends the code";
    EXPECT_EQ(binding.actionCode, 0x7B);
    ASSERT_TRUE(binding.image);
    EXPECT_TRUE(binding.image->samePixels(*LoadKeyImage("ACTION_MEDIA_MUTE")));
    EXPECT_TRUE(action->multimediaButton()->isChecked());
    EXPECT_EQ(status(), "F5 sends Media mute");
    saveScreenshots(keyBox(), "keyprops-multimedia");

    // Without the chain the picture stays.
    QTest::mouseClick(panels().chain(), Qt::LeftButton);
    ASSERT_FALSE(panels().chain()->isChecked());
    QTest::keyClick(list, Qt::Key_Down); // "Media next track"
    EXPECT_EQ(binding.scanCode, 0x9A);
    EXPECT_TRUE(binding.image->samePixels(*LoadKeyImage("ACTION_MEDIA_MUTE")));
    action->defaultButton()->click();
    EXPECT_EQ(binding.scanCode, 0);
    EXPECT_EQ(binding.actionCode, 0);

    // "Other verb" asks the "Select Key" dialog, here a stand-in that answers as a user would.
    std::optional<KVPickedKey> answer;
    int asked = 0;
    action->setKeyPicker([&](QWidget*) {
        ++asked;
        return answer;
    });
    QTest::mouseClick(action->selectButton(), Qt::LeftButton);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(binding.scanCode, 0) << "cancelled";
    EXPECT_TRUE(action->defaultButton()->isChecked());

    answer = KVPickedKey{.index = 82, .scanCode = 0x2A, .name = "Left Shift", .usage = 0x73, .shortName = {}};
    action->otherButton()->click();
    EXPECT_EQ(binding.scanCode, 0x73)
        << "the code the keyboard sends for Left Shift, not its set-1 scan code";
    EXPECT_EQ(binding.actionCode, 0);
    EXPECT_TRUE(action->otherButton()->isChecked());
    EXPECT_EQ(action->otherButton()->text(), "Other verb (Left Shift)");

    // Named from the code when the key is selected again.
    select(layer, {kF6});
    answer = KVPickedKey{.index = 5, .scanCode = 0x3F, .name = "F5", .usage = 0x3E, .shortName = {}};
    QTest::mouseClick(action->selectButton(), Qt::LeftButton);
    select(layer, {kF5});
    EXPECT_EQ(action->otherButton()->text(), "Other verb (Left Shift)");
    select(layer, {kF6});
    EXPECT_EQ(action->otherButton()->text(), "Other verb (F5)");
    action->defaultButton()->click();
    EXPECT_EQ(layer->binding(kF6).scanCode, 0);
    EXPECT_EQ(action->otherButton()->text(), "Other verb");
    EXPECT_EQ(CKVActionProps::keyCodeName(0xEE), "code 0xEE");
}

TEST_F(KeyPropsTest, SeveralSelectedKeysChangeAsOneStep) {
    const auto layer = newLayer();
    select(layer, {kF5, kF6, kF7});
    auto* list = panels().action()->multimediaList();
    const size_t before = steps();
    list->setCurrentIndex(7);
    emit list->activated(7); // "Media mute", as a click in the list does
    for (const unsigned key : {kF5, kF6, kF7}) {
        EXPECT_EQ(layer->binding(key).scanCode, 0x7B);
        EXPECT_TRUE(layer->binding(key).image);
    }
    EXPECT_EQ(steps(), before + 1);
    EXPECT_EQ(status(), "3 keys send Media mute");
    EXPECT_NE(layer->binding(kF5).image, layer->binding(kF6).image) << "each key its own picture";

    dropOn(panels().display(), {QString::fromStdString(writePicture(file("red.png"), Qt::red))});
    EXPECT_EQ(steps(), before + 2);
    undo();
    undo();
    for (const unsigned key : {kF5, kF6, kF7})
        EXPECT_FALSE(layer->binding(key).isSet());
    EXPECT_TRUE(panels().action()->defaultButton()->isChecked()) << "the panels follow the undo";
    undo(true);
    EXPECT_TRUE(panels().action()->multimediaButton()->isChecked());
}

TEST_F(KeyPropsTest, APluginPanelLivesWhileItsKeyIsShownAndTheChainPairsBothWays) {
    services().plugins.add(SamplePlugin::make());
    const auto layer = newLayer();
    select(layer, {kF5});
    auto* display = panels().display();
    auto* action = panels().action();

    menuEntry(display->chooserMenu(), "Sample", "Sample panel")->trigger();
    settle();
    ASSERT_TRUE(layer->binding(kF5).viewPlugin);
    ASSERT_TRUE(layer->binding(kF5).actionPlugin) << "the chain chose the paired action";
    EXPECT_EQ(layer->binding(kF5).actionPlugin->SubPluginID(), "Go");
    EXPECT_EQ(action->chooser()->text(), "Sample go");
    ASSERT_TRUE(display->pluginPanel());
    EXPECT_EQ(display->pluginPanel()->parentWidget(), display->panelHost());
    EXPECT_EQ(SamplePlugin::panelsMade, 1);
    EXPECT_EQ(status(), "F5: Sample panel, with Sample go");
    saveScreenshots(keyBox(), "keyprops-plugin-panel");

    // Files go to the plug-in while it takes them; the picture is left alone.
    dropOn(display, {"/tmp/one.txt", "/tmp/refuse.txt", "/tmp/three.txt"});
    EXPECT_EQ(SamplePlugin::dropped, QStringList({"/tmp/one.txt", "/tmp/refuse.txt"}));
    EXPECT_FALSE(layer->binding(kF5).image);

    select(layer, {kF6});
    EXPECT_EQ(SamplePlugin::panelsDestroyed, 1) << "another key: the panel goes";
    EXPECT_FALSE(display->pluginPanel());

    // Without the chain the action stays as it is.
    QTest::mouseClick(panels().chain(), Qt::LeftButton);
    menuEntry(display->chooserMenu(), "Sample", "Sample panel")->trigger();
    EXPECT_TRUE(layer->binding(kF6).viewPlugin);
    EXPECT_FALSE(layer->binding(kF6).actionPlugin);
    EXPECT_EQ(SamplePlugin::panelsMade, 2);

    // From the action side, with the chain on again.
    select(layer, {kF7});
    QTest::mouseClick(panels().chain(), Qt::LeftButton);
    menuEntry(action->chooserMenu(), "Sample", "Sample go")->trigger();
    ASSERT_TRUE(layer->binding(kF7).viewPlugin);
    EXPECT_EQ(layer->binding(kF7).viewPlugin->SubPluginID(), "Panel");

    select(newLayer(), {kF7});
    EXPECT_EQ(SamplePlugin::panelsDestroyed, 3) << "another layer: the panel goes too";
    EXPECT_FALSE(display->pluginPanel());

    // Back on the first layer, whose plug-ins stopped meanwhile: the panel comes again.
    select(layer, {kF5});
    EXPECT_TRUE(display->pluginPanel());
    EXPECT_EQ(SamplePlugin::panelsMade, SamplePlugin::panelsDestroyed + 1) << "one panel at a time";
}

TEST_F(KeyPropsTest, FilesThatAreNoPictureGiveTheirIcon) {
    // A program with a desktop entry in the session's data folder, catalogued at start.
    const auto icon = writePicture(file("app-icon.png"), Qt::magenta, {64, 64});
    const auto program = file("bin") / "corvane-sample-app";
    std::filesystem::create_directories(program.parent_path());
    std::ofstream(program) << "#!/bin/sh\n";
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    const auto applications = home().path() / "data" / "applications";
    std::filesystem::create_directories(applications);
    std::ofstream(applications / "sample-app.desktop")
        << "[Desktop Entry]\nType=Application\nName=Sample application\nExec=" << program.string()
        << " %U\nIcon=" << icon << "\n";
    start();

    const auto layer = newLayer();
    select(layer, {kF5});
    auto s = services();
    const QString entry = QString::fromStdString((applications / "sample-app.desktop").string());
    EXPECT_EQ(corvane::editor::desktopEntryIcon(entry).toStdString(), icon);
    const auto drop = [&](unsigned key, const QString& path) {
        return corvane::editor::dropFilesOnKeys(s, {key}, {path}, false, &window());
    };
    EXPECT_EQ(drop(kF5, entry), "F5 shows the icon of sample-app.desktop");
    EXPECT_TRUE(showsColour(layer->binding(kF5).image, Qt::magenta));
    drop(kF6, QString::fromStdString(program.string()));
    EXPECT_TRUE(showsColour(layer->binding(kF6).image, Qt::magenta));

    // With Ctrl the user picks among the candidates.
    const auto candidates = corvane::editor::fileIcons(entry, s.applications);
    ASSERT_GE(candidates.size(), 2u);
    int offered = 0;
    whenDialogOpens([&](QWidget* dialog) {
        auto* list = dialog->findChild<QListWidget*>("icons");
        offered = list->count();
        list->setCurrentRow(1);
        qobject_cast<QDialog*>(dialog)->accept();
    });
    dropOn(panels().display(), {entry}, Qt::ControlModifier);
    EXPECT_EQ(offered, int(candidates.size()));
    EXPECT_TRUE(layer->binding(kF5).image->samePixels(*candidates[1].picture));

    const size_t before = steps();
    EXPECT_EQ(drop(kF7, "/nowhere/at/all.desktop"), "/nowhere/at/all.desktop does not exist");
    EXPECT_FALSE(layer->binding(kF7).image);
    EXPECT_EQ(steps(), before);
}

} // namespace
