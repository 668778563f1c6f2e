#include "editor/ViewProps.h"

#include "EditorFixture.h"
#include "core/MessageDispatch.h"
#include "images/KVImage.h"
#include "images/KVTextRenderer.h"
#include "layers/KeyNames.h"
#include "layers/LabelProperties.h"
#include "layers/Layer.h"
#include "layers/LayersController.h"
#include "shell/MainController.h"

namespace {

// The label editor on its own, working on the base caption layer of the first keyboard layout, as the
// key properties box shows it when that layer is selected.
class ViewPropsTest : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        start();
        auto s = services();
        s.dispatch.RegisterHandler<KVM_BINDING_EDITED>(this, &ViewPropsTest::onBindingEdited);
        layer = captionLayer();
        ASSERT_TRUE(layer) << "the profile has no caption layer of a keyboard layout";
        servicesHeld = std::make_unique<KVEditorServices>(s);
        panel = std::make_unique<CKVViewProps>(*servicesHeld);
        panel->setColourChooser([this](QWidget*, const QString& title, const QColor&) {
            askedFor.push_back(title.toStdString());
            return nextColour;
        });
        panel->resize(panel->sizeHint());
        panel->show();
        panel->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(panel.get()));
        s.layers.SetEditedItem(layer);
        s.layers.ShowForEditing(layer);
        s.dispatch.send<KVM_TREE_SELECTION_CHANGED>();
    }
    void TearDown() override {
        panel.reset();
        EditorFixture::TearDown();
    }
    void closePanel() {
        services().dispatch.UnregisterHandlers(this);
        panel.reset();
    }
    void onBindingEdited() { ++bindingEdits; }

    KVPtr<KVLayer> captionLayer() {
        const auto system = services().cake.systemLayers();
        for (const auto& group : system->children())
            for (const auto& child : group->children())
                if (child->identifier().ends_with("-Main"))
                    return std::static_pointer_cast<KVLayer>(child);
        return nullptr;
    }
    void select(std::initializer_list<const char*> names) {
        KVLayersController::KeySelection keys;
        for (const char* name : names)
            keys.set(*corvane::layers::matchKeyName(name));
        services().layers.SetSelectedKeys(keys);
        services().dispatch.send<KVM_KEY_SELECTION_CHANGED>();
    }
    const KVKeyBinding& binding(const char* name) const {
        return layer->binding(*corvane::layers::matchKeyName(name));
    }
    KVPtr<KVImage> shown(const char* name) {
        const auto* in = services().layers.DisplayBinding(*corvane::layers::matchKeyName(name));
        return in ? in->displayImage() : nullptr;
    }
    template <class Widget> Widget* control(const char* accessibleName) {
        for (auto* widget : panel->findChildren<Widget*>())
            if (widget->accessibleName() == accessibleName)
                return widget;
        ADD_FAILURE() << "no control named " << accessibleName;
        return nullptr;
    }
    KVTextRenderer& renderer() { return services().main.textRenderer(); }

    KVPtr<KVLayer> layer;
    std::unique_ptr<KVEditorServices> servicesHeld;
    std::unique_ptr<CKVViewProps> panel;
    std::optional<QColor> nextColour;
    std::vector<std::string> askedFor;
    int bindingEdits = 0;
};

TEST_F(ViewPropsTest, FontBoldSizeAndColourChangeThreeCaptionsEachAsOneStep) {
    select({"A", "S", "D"});
    EXPECT_EQ(panel->shownStyle().face, "Tahoma");
    EXPECT_TRUE(control<QPushButton>("Reset")->isEnabled());
    const char* const keys[] = {"A", "S", "D"};
    auto& editing = services().layers.Editing();

    // Typing a family and pressing Return applies it.
    auto* face = control<QComboBox>("Font");
    face->lineEdit()->selectAll();
    QTest::keyClicks(face->lineEdit(), "DejaVu Serif");
    QTest::keyClick(face->lineEdit(), Qt::Key_Return);
    QTest::mouseClick(control<QCheckBox>("Bold"), Qt::LeftButton);
    auto* size = control<QSlider>("Font size");
    size->setFocus();
    QTest::keyClick(size, Qt::Key_PageUp);
    nextColour = QColor(255, 0, 0);
    QTest::mouseClick(control<QPushButton>("Text color"), Qt::LeftButton);
    nextColour.reset(); // a cancelled dialog changes nothing
    QTest::mouseClick(control<QPushButton>("Back color"), Qt::LeftButton);
    EXPECT_EQ(askedFor, (std::vector<std::string>{"Text color", "Back color"}));

    KVLabelStyle wanted;
    wanted.face = "DejaVu Serif";
    wanted.bold = true;
    wanted.size = 32;
    wanted.color = 0x0000FF;
    for (const char* key : keys) {
        const auto style = corvane::layers::labelStyleOf(binding(key));
        EXPECT_EQ(std::tuple(style.face, style.bold, style.size, style.color, style.bkColor),
                  std::tuple(wanted.face, true, 32, 0x0000FFu, 0u))
            << key;
        ASSERT_TRUE(binding(key).image);
        EXPECT_TRUE(binding(key).image->samePixels(*renderer().RenderLabel(binding(key).keystroke, wanted)))
            << key << " is drawn in the new look";
        EXPECT_EQ(shown(key), binding(key).image) << "the keyboard shows the new picture of " << key;
    }
    EXPECT_GE(bindingEdits, 4) << "the keyboard view hears of every change";
    const auto rgb = renderer().RenderLabel("a", wanted)->toTopDownRgb();
    EXPECT_TRUE(panel->previewPicture() == QImage(rgb.data(), 48, 48, 48 * 3, QImage::Format_RGB888))
        << "the preview is the renderer's own picture of the sample";
    saveScreenshots(*panel, "label-editor");

    // One undo takes the colour back from all three keys and nothing else.
    EXPECT_EQ(editing.UndoText(), "Set label style of 3 keys");
    ASSERT_TRUE(editing.Undo());
    for (const char* key : keys) {
        EXPECT_EQ(corvane::layers::labelStyleOf(binding(key)).color, 0xFFFFFFu) << key;
        EXPECT_TRUE(corvane::layers::labelStyleOf(binding(key)).bold) << key;
    }
    EXPECT_EQ(panel->shownStyle().color, 0xFFFFFFu) << "the panel follows the undo";
}

TEST_F(ViewPropsTest, CopyPasteAndResetCarryTheLookBetweenKeysAndKeysWithoutCaptionsOfferNothing) {
    select({"Q"});
    QTest::mouseClick(control<QCheckBox>("Italic"), Qt::LeftButton);
    nextColour = QColor(0, 0, 128);
    QTest::mouseClick(control<QPushButton>("Back color"), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>("Copy"), Qt::LeftButton);

    select({"W", "E"});
    EXPECT_FALSE(panel->shownStyle().italic) << "the panel shows the newly selected key";
    // From the keyboard: the button takes the focus with Tab and Space presses it.
    auto* paste = control<QPushButton>("Paste");
    ASSERT_TRUE(paste->isEnabled());
    paste->setFocus(Qt::TabFocusReason);
    QTest::keyClick(paste, Qt::Key_Space);
    for (const char* key : {"W", "E"}) {
        EXPECT_TRUE(corvane::layers::labelStyleOf(binding(key)).italic) << key;
        EXPECT_EQ(corvane::layers::labelStyleOf(binding(key)).bkColor, 0x800000u) << key;
    }
    EXPECT_EQ(services().layers.Editing().UndoText(), "Set label style of 2 keys");

    select({"Q", "W"});
    QTest::mouseClick(control<QPushButton>("Reset"), Qt::LeftButton);
    for (const char* key : {"Q", "W"}) {
        EXPECT_FALSE(binding(key).properties) << "the defaults need no stored keys";
        EXPECT_TRUE(binding(key).image->samePixels(*renderer().RenderPlainLabel(binding(key).keystroke)));
    }
    EXPECT_TRUE(corvane::layers::labelStyleOf(binding("E")).italic) << "an unselected key keeps its look";

    select({"F1", "Escape"}); // no captions in a layout's layer
    EXPECT_FALSE(control<QPushButton>("Reset")->isEnabled());
    EXPECT_FALSE(control<QComboBox>("Font")->isEnabled());
    const auto steps = services().layers.Editing().history().count();
    QTest::mouseClick(control<QCheckBox>("Bold"), Qt::LeftButton);
    EXPECT_EQ(services().layers.Editing().history().count(), steps);
    saveScreenshots(*panel, "label-editor-empty");
}

TEST_F(ViewPropsTest, DraggingTheSizeIsFollowedAtOnceAndUndoneAsOneStep) {
    select({"J", "K"});
    auto& editing = services().layers.Editing();
    const auto steps = editing.history().count();
    const auto plain = binding("J").image;
    auto* size = control<QSlider>("Font size");
    size->setSliderDown(true); // as a press on the handle does
    for (int position = 30; position <= 40; position += 5) {
        size->setSliderPosition(position);
        EXPECT_EQ(corvane::layers::labelStyleOf(binding("K")).size, position) << "followed while dragging";
    }
    size->setSliderDown(false);
    EXPECT_GT(size->value(), 28);
    EXPECT_EQ(corvane::layers::labelStyleOf(binding("J")).size, size->value());
    EXPECT_EQ(editing.history().count(), steps + 1) << "the whole drag is one step";
    ASSERT_TRUE(editing.Undo());
    EXPECT_EQ(binding("J").image, plain);
    EXPECT_EQ(panel->shownStyle().size, 28);
}

TEST_F(ViewPropsTest, ALookSurvivesSavingAndTheNextStart) {
    select({"Z"});
    QTest::mouseClick(control<QCheckBox>("Bold"), Qt::LeftButton);
    nextColour = QColor(0, 255, 0);
    QTest::mouseClick(control<QPushButton>("Text color"), Qt::LeftButton);
    const auto picture = binding("Z").image;
    closePanel();
    ASSERT_TRUE(services().main.EditorClosed()) << "the configuration is saved";

    EditorFixture::TearDown();
    start();
    layer = captionLayer();
    ASSERT_TRUE(layer);
    const auto style = corvane::layers::labelStyleOf(binding("Z"));
    EXPECT_TRUE(style.bold);
    EXPECT_EQ(style.color, 0x00FF00u);
    ASSERT_TRUE(binding("Z").image);
    binding("Z").image->reload();
    EXPECT_TRUE(binding("Z").image->samePixels(*picture)) << "the stored picture is the one drawn";
}

} // namespace
