#include "editor/LayersView.h"

#include "EditorFixture.h"
#include "WindowTestSupport.h"
#include "editor/KeyboardPicture.h"
#include "editor/KeyboardSelect.h"
#include "editor/OnScreenKeyboard.h"
#include "images/BuiltInPictures.h"
#include "images/KVImage.h"
#include "images/KVTextRenderer.h"
#include "keyboard/KeyboardGeometry.h"
#include "layers/LayerCake.h"
#include "layers/LayersController.h"

#include <functional>

namespace {

constexpr unsigned kEscape = 0, kF1 = 1, kF2 = 2, kF3 = 3, kF4 = 4, kF5 = 5, kGrave = 18, kTab = 41;

KVPtr<KVImage> solid(uint8_t red, uint8_t green, uint8_t blue) {
    auto image = std::make_shared<KVImage>(48, 48);
    auto pixels = image->pixels();
    for (size_t at = 0; at + 2 < pixels.size(); at += 3) {
        pixels[at] = blue;
        pixels[at + 1] = green;
        pixels[at + 2] = red;
    }
    return image;
}

// The colour of a binding's picture (its first pixel), as 0xRRGGBB; 0 without a picture.
unsigned colourOf(const KVKeyBinding& binding) {
    if (!binding.image || !binding.image->isValid())
        return 0;
    const auto pixels = binding.image->pixels();
    return unsigned(pixels[2]) << 16 | unsigned(pixels[1]) << 8 | pixels[0];
}

// While it lives, runs `act` on the next popup menu as soon as it is open (menus run their own loop);
// a menu it did not expect is closed when it goes.
class MenuWatch {
public:
    explicit MenuWatch(std::function<void(QMenu&)> act) : m_act(std::move(act)) {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                m_timer.stop();
                ++opened;
                m_act(*menu);
            }
        });
        m_timer.start();
    }
    ~MenuWatch() {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
            menu->close();
    }
    int opened = 0;

private:
    std::function<void(QMenu&)> m_act;
    QTimer m_timer;
};

QStringList menuTexts(const QMenu& menu) {
    QStringList texts;
    for (const QAction* action : menu.actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

QAction* actionNamed(QMenu& menu, const QString& text) {
    for (QAction* action : menu.actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

void clickItem(QMenu& menu, const QString& text) {
    QAction* action = actionNamed(menu, text);
    ASSERT_TRUE(action) << text.toStdString();
    QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(action).center());
}

QPoint centreOf(const QRectF& rect) {
    return rect.center().toPoint();
}

// Moves the mouse over `on` with the left button held.
void moveHeld(QWidget& on, QPoint at, Qt::KeyboardModifiers modifiers = {}) {
    QMouseEvent move(QEvent::MouseMove, at, on.mapToGlobal(at), Qt::NoButton, Qt::LeftButton, modifiers);
    QApplication::sendEvent(&on, &move);
}

} // namespace

class LayersViewTest : public EditorFixture {
protected:
    CKVLayersView& view() {
        auto& dlg = window();
        dlg.resize(1200, 800);
        settle();
        return *dlg.keyboardView();
    }

    // A new user layer, edited as the layer tree would: shown on the keyboard and announced.
    KVPtr<KVLayer> editNewLayer() {
        auto s = services();
        auto layer = s.layers.Editing().NewLayer(s.cake.userLayers(), {});
        edit(layer);
        return layer;
    }

    void edit(const KVPtr<KVLayersItem>& item) {
        view(); // opened first: the layer tree takes the focus then
        auto s = services();
        if (const auto& before = s.layers.EditedItem())
            s.layers.StopShowing(before);
        s.layers.SetEditedItem(item);
        s.layers.ShowForEditing(item);
        s.dispatch.send<KVM_TREE_SELECTION_CHANGED>();
    }

    KVLayersController::KeySelection selection() { return services().layers.SelectedKeys(); }

    std::vector<unsigned> selected() {
        std::vector<unsigned> keys;
        for (unsigned key = 0; key < 113; ++key)
            if (selection().test(key))
                keys.push_back(key);
        return keys;
    }

    void click(CKVLayersView& on, unsigned key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(&on, Qt::LeftButton, modifiers, centreOf(on.keyRect(key)));
    }

    // Presses on `from`, moves in steps to `to` and releases there (`before` runs just before that).
    void drag(CKVLayersView& on, QPoint from, QPoint to, const std::function<void()>& before = {}) {
        QTest::mousePress(&on, Qt::LeftButton, {}, from);
        for (int step = 1; step <= 4; ++step)
            moveHeld(on, from + (to - from) * step / 4);
        if (before)
            before();
        QTest::mouseRelease(&on, Qt::LeftButton, {}, to);
    }
};

TEST_F(LayersViewTest, ClicksAndBandsSelectKeysEveryChangeIsAnnouncedAndAnotherItemClearsThem) {
    auto& v = view();
    auto first = editNewLayer();
    DispatchProbe probe(services().dispatch);
    click(v, kF1);
    EXPECT_EQ(selected(), (std::vector<unsigned>{kF1}));
    EXPECT_EQ(v.focusKey(), kF1);
    click(v, kF3, Qt::ControlModifier);
    EXPECT_EQ(selected(), (std::vector<unsigned>{kF1, kF3}));
    click(v, kF1, Qt::ControlModifier);
    EXPECT_EQ(selected(), (std::vector<unsigned>{kF3}));
    // Shift spans from the anchor (the last key clicked) to the key, the rows between included.
    click(v, kF5, Qt::ShiftModifier);
    EXPECT_EQ(selected(), (std::vector<unsigned>{kF1, kF2, kF3, kF4, kF5}));
    EXPECT_EQ(probe.keySelections, 4);
    click(v, kF5, Qt::ShiftModifier);
    EXPECT_EQ(probe.keySelections, 4) << "a click that changes nothing is not announced";

    // A band from above and left of F1 (no key there) to the middle of F2's display.
    const QRectF f1 = v.keyRect(kF1);
    const QPoint start(int(f1.left()) - 4, int(f1.top()) - 4);
    ASSERT_FALSE(v.keyAt(start));
    drag(v, start, centreOf(v.keyRect(kF2)));
    EXPECT_EQ(selected(), (std::vector<unsigned>{kF1, kF2}));
    // Ctrl keeps what was selected and adds the band.
    QTest::mousePress(&v, Qt::LeftButton, Qt::ControlModifier, start);
    const QPoint escape = centreOf(v.keyRect(kEscape));
    moveHeld(v, escape, Qt::ControlModifier);
    QTest::mouseRelease(&v, Qt::LeftButton, Qt::ControlModifier, escape);
    EXPECT_EQ(selected(), (std::vector<unsigned>{kEscape, kF1, kF2}));
    QTest::mouseClick(&v, Qt::LeftButton, {}, start);
    EXPECT_TRUE(selection().none()) << "a click outside the keys";

    click(v, kF1);
    EXPECT_EQ(v.shownItem(), first);
    auto second = editNewLayer();
    EXPECT_EQ(v.shownItem(), second);
    EXPECT_TRUE(selection().none());
    // Only a user layer's keys get the hot frame; a group's do not.
    QTest::mouseMove(&v, centreOf(f1));
    EXPECT_EQ(v.hotKey(), kF1);
    edit(services().cake.userLayers());
    QTest::mouseMove(&v, centreOf(f1) + QPoint(1, 1));
    EXPECT_EQ(v.hotKey(), CKVLayersView::kNoKey);
}

TEST_F(LayersViewTest, AClickSelectsTheKeyUnderTheCursorAtAnySizeWithTheProportionsKept) {
    auto s = services();
    CKVLayersView v(s);
    v.show();
    const auto& places = corvane::keyboard::kMainKeyPlaces;
    for (const QSize size : {QSize(260, 300), QSize(700, 180), QSize(1900, 700)}) {
        v.resize(size);
        settle();
        // Where a key must be, worked out from the drawing's size alone.
        const double scale = std::min(size.width() / 1304.0, size.height() / 425.0);
        const QPointF origin((size.width() - 1304 * scale) / 2, (size.height() - 425 * scale) / 2);
        for (unsigned key : {kEscape, kF1, kTab, 82u, 103u, 112u}) {
            const auto& place = places[key];
            const QPointF centre(place.capX + place.capWidth / 2.0, place.capY + place.capHeight / 2.0);
            QTest::mouseClick(&v, Qt::LeftButton, {}, (origin + centre * scale).toPoint());
            EXPECT_EQ(selected(), (std::vector<unsigned>{key})) << size.width() << "x" << size.height();
        }
        EXPECT_NEAR(v.keyRect(kF1).width() / v.keyRect(kF1).height(), 1.0, 0.05);
    }
}

TEST_F(LayersViewTest,
       DraggingAKeyOntoAnotherSwapsOrPastesInOneStepAndCancelASmallMoveOrTheSameKeyChangeNothing) {
    auto& v = view();
    auto layer = editNewLayer();
    auto& editing = services().layers.Editing();
    ASSERT_TRUE(editing.SetKeyImage(layer, kF1, solid(200, 0, 0)));
    ASSERT_TRUE(editing.SetKeyCode(layer, kF1, 0x10, 0));
    ASSERT_TRUE(editing.SetKeyImage(layer, kF2, solid(0, 0, 200)));
    ASSERT_TRUE(editing.SetKeyCode(layer, kF2, 0x20, 0));
    DispatchProbe probe(services().dispatch);

    QStringList texts;
    bool partialEnabled = true;
    MenuWatch watch([&](QMenu& menu) {
        texts = menuTexts(menu);
        partialEnabled = actionNamed(menu, QStringLiteral("Partial..."))->isEnabled();
        saveScreenshots(menu, "keyboard-drop-menu");
        clickItem(menu, QStringLiteral("Swap"));
    });
    // Half-way over F2, so that the picture under the mouse and the target's frame both show.
    const QPoint f1 = centreOf(v.keyRect(kF1)), f2 = centreOf(v.keyRect(kF2));
    drag(v, f1, f2, [&] {
        moveHeld(v, (f1 + f2 * 3) / 4);
        saveScreenshots(v, "keyboard-view-dragging");
    });
    settle();

    EXPECT_EQ(texts, (QStringList{"Swap", "Paste", "-", "Partial...", "-", "Cancel"}));
    EXPECT_FALSE(partialEnabled);
    const auto f1AndF2 = [&] {
        const auto &one = layer->binding(kF1), &two = layer->binding(kF2);
        return std::tuple(colourOf(one), one.scanCode, colourOf(two), two.scanCode);
    };
    EXPECT_EQ(f1AndF2(), std::tuple(0x0000c8u, 0x20, 0xc80000u, 0x10));
    EXPECT_GE(probe.keysEdited, 1);
    ASSERT_TRUE(editing.Undo());
    EXPECT_EQ(f1AndF2(), std::tuple(0xc80000u, 0x10, 0x0000c8u, 0x20)) << "one step";

    for (const char* choice : {"Cancel", "Paste"}) {
        MenuWatch watch([choice](QMenu& menu) { clickItem(menu, QString::fromLatin1(choice)); });
        drag(v, centreOf(v.keyRect(kF1)), centreOf(v.keyRect(kF3)));
        settle();
        EXPECT_EQ(watch.opened, 1);
        EXPECT_EQ(layer->binding(kF3).isSet(), choice == std::string("Paste")) << choice;
    }
    EXPECT_EQ(colourOf(layer->binding(kF3)), 0xc80000u);
    EXPECT_EQ(colourOf(layer->binding(kF1)), 0xc80000u) << "the source keeps its binding";
    EXPECT_NE(layer->binding(kF3).image, layer->binding(kF1).image) << "the target has its own picture";
    EXPECT_EQ(selected(), (std::vector<unsigned>{kF3}));

    // A move of nine pixels or less stays a click; a drop on the key itself opens no menu either.
    MenuWatch none([](QMenu& menu) { menu.close(); });
    drag(v, f1, f1 + QPoint(5, 4));
    settle(60);
    EXPECT_EQ(selected(), (std::vector<unsigned>{kF1}));
    drag(v, f1, f1 + QPoint(int(v.keyRect(kF1).width() / 3), 0));
    settle(60);
    EXPECT_EQ(none.opened, 0);
}

TEST_F(LayersViewTest, TheKeyboardMovesTheFocusSelectsAndCutAndPasteOpensTheDropMenu) {
    auto& v = view();
    auto layer = editNewLayer();
    ASSERT_TRUE(services().layers.Editing().SetKeyImage(layer, kF1, solid(200, 0, 0)));
    v.setFocus();
    settle();
    ASSERT_TRUE(v.hasFocus());
    const auto press = [&](std::initializer_list<Qt::Key> keys, Qt::KeyboardModifiers modifiers = {}) {
        for (const Qt::Key key : keys)
            QTest::keyClick(&v, key, modifiers);
    };

    press({Qt::Key_Right}); // Escape -> F1
    EXPECT_EQ(v.focusKey(), kF1);
    EXPECT_EQ(selected(), (std::vector<unsigned>{kF1}));
    press({Qt::Key_Down});
    EXPECT_EQ(v.focusKey(), kGrave) << "the key below F1";
    press({Qt::Key_Up});
    EXPECT_EQ(v.focusKey(), kF1);
    press({Qt::Key_Right}, Qt::ShiftModifier);
    EXPECT_EQ(selected(), (std::vector<unsigned>{kF1, kF2}));
    press({Qt::Key_Right}, Qt::ControlModifier);
    EXPECT_EQ(v.focusKey(), kF3);
    EXPECT_EQ(selected(), (std::vector<unsigned>{kF1, kF2})) << "Ctrl moves the focus only";
    press({Qt::Key_Space}, Qt::ControlModifier);
    EXPECT_EQ(selected(), (std::vector<unsigned>{kF1, kF2, kF3}));
    press({Qt::Key_Space});
    EXPECT_EQ(selected(), (std::vector<unsigned>{kF3}));

    // F1 marked, then F4: the drop menu opens with Swap first, and Enter takes it.
    press({Qt::Key_Left, Qt::Key_Left});
    press({Qt::Key_X}, Qt::ControlModifier);
    EXPECT_EQ(v.markedKey(), kF1);
    press({Qt::Key_Right, Qt::Key_Right, Qt::Key_Right});
    QString active;
    MenuWatch watch([&](QMenu& menu) {
        active = menu.activeAction() ? menu.activeAction()->text() : QString();
        QTest::keyClick(&menu, Qt::Key_Return);
    });
    press({Qt::Key_V}, Qt::ControlModifier);
    settle();
    EXPECT_EQ(active, QStringLiteral("Swap"));
    EXPECT_FALSE(layer->binding(kF1).isSet());
    EXPECT_EQ(colourOf(layer->binding(kF4)), 0xc80000u);
    EXPECT_FALSE(v.markedKey());
}
TEST_F(LayersViewTest, TheKeyMenuDeletesAndPushesTheSelectionAsOneStepEach) {
    auto& v = view();
    auto s = services();
    auto& editing = s.layers.Editing();
    // Keys that no layer of the fresh profile binds (the layout captions bind most).
    std::vector<unsigned> free;
    for (unsigned key = 0; key < 113; ++key)
        if (!s.layers.DisplayBinding(key))
            free.push_back(key);
    ASSERT_GE(free.size(), 3u);
    const unsigned a = free[0], b = free[1], c = free[2];
    // A layer below, shown as well, so that its key `c` shows through the edited one.
    auto below = editing.NewLayer(s.cake.userLayers(), {});
    ASSERT_TRUE(editing.SetKeyImage(below, c, solid(0, 0, 90)));
    s.layers.ShowForEditing(below);
    auto layer = editing.NewLayer(s.cake.userLayers(), {});
    edit(layer);
    ASSERT_TRUE(editing.SetKeyImage(layer, a, solid(90, 0, 0)));
    ASSERT_TRUE(editing.SetKeyImage(layer, b, solid(90, 0, 0)));

    click(v, a);
    click(v, b, Qt::ControlModifier);
    QStringList texts;
    bool pushEnabled = true;
    auto deleting = std::make_unique<MenuWatch>([&](QMenu& menu) {
        texts = menuTexts(menu);
        pushEnabled = actionNamed(menu, QStringLiteral("Push"))->isEnabled();
        clickItem(menu, QStringLiteral("Delete"));
    });
    QContextMenuEvent onB(QContextMenuEvent::Mouse, centreOf(v.keyRect(b)),
                          v.mapToGlobal(centreOf(v.keyRect(b))));
    QApplication::sendEvent(&v, &onB);
    settle();
    EXPECT_EQ(texts, (QStringList{"Define", "-", "Delete", "-", "Push"}));
    EXPECT_FALSE(pushEnabled) << "no other layer binds the selected keys";
    EXPECT_FALSE(layer->binding(a).isSet());
    EXPECT_FALSE(layer->binding(b).isSet());
    ASSERT_TRUE(editing.Undo());
    EXPECT_TRUE(layer->binding(a).isSet() && layer->binding(b).isSet()) << "one undo brings both back";

    // Shift+F10 opens the menu for the focus key; `c` shows the layer below, so it can be pushed.
    v.setFocus();
    click(v, c);
    deleting.reset();
    bool deleteEnabled = true;
    MenuWatch pushing([&](QMenu& menu) {
        deleteEnabled = actionNamed(menu, QStringLiteral("Delete"))->isEnabled();
        clickItem(menu, QStringLiteral("Push"));
    });
    QTest::keyClick(&v, Qt::Key_F10, Qt::ShiftModifier);
    settle();
    EXPECT_FALSE(deleteEnabled) << "the layer has nothing of its own there";
    EXPECT_EQ(colourOf(layer->binding(c)), 0x00005au);
}

TEST_F(LayersViewTest, ALayerOfPicturesIsListedToScreenReadersAndFilesDroppedOnAKeySelectIt) {
    auto& v = view();
    auto layer = editNewLayer();
    auto& editing = services().layers.Editing();
    KVTextRenderer labels;
    const auto actions = corvane::images::builtInActionNames();
    for (unsigned key = 0; key < 16 && key < actions.size(); ++key) {
        auto picture = std::make_shared<KVImage>();
        ASSERT_TRUE(picture->loadBuiltIn(actions[key]));
        editing.SetKeyImage(layer, key, picture);
    }
    for (unsigned key : {42u, 43u, 44u, 45u, 46u})
        editing.SetKeyImage(layer, key, labels.RenderPlainLabel(std::string(1, char('A' + key - 42))));
    services().dispatch.send<KVM_KEYS_EDITED>();
    click(v, 43);
    click(v, 44, Qt::ControlModifier);
    QTest::mouseMove(&v, centreOf(v.keyRect(kF5)));
    v.setFocus();
    settle();
    EXPECT_EQ(v.hotKey(), kF5);
    saveScreenshots(v, "keyboard-view");
    saveScreenshots(window(), "keyboard-view-window");

    QAccessibleInterface* keyboard = QAccessible::queryAccessibleInterface(&v);
    ASSERT_TRUE(keyboard);
    EXPECT_EQ(keyboard->text(QAccessible::Name), QStringLiteral("Keyboard"));
    ASSERT_EQ(keyboard->childCount(), 113);
    QAccessibleInterface* f2 = keyboard->child(int(kF2));
    ASSERT_TRUE(f2);
    EXPECT_EQ(f2->text(QAccessible::Name), QStringLiteral("F2"));
    EXPECT_EQ(keyboard->indexOfChild(f2), int(kF2));
    EXPECT_TRUE(keyboard->child(43)->state().selected);
    EXPECT_FALSE(f2->state().selected);

    dropOn(&v, {QStringLiteral("/tmp/picture.png")}, {}, centreOf(v.keyRect(kF4)));
    EXPECT_EQ(selected(), (std::vector<unsigned>{kF4}));
    EXPECT_FALSE(window().statusBar()->currentMessage().isEmpty());
}

TEST_F(LayersViewTest, ThePickerShows114KeysWithLeftShiftSplitAndAnswersByMouseOrKeyboard) {
    CKVOnScreenKeyboard dialog;
    dialog.show();
    settle();
    CKVKeyboardSelect& picker = *dialog.picker();
    ASSERT_EQ(picker.keyCount(), 114u);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Select Key"));
    saveScreenshots(dialog, "select-key");
    // Left Shift's cap holds two keys side by side; every key after it moves one place on.
    const QRectF shift = picker.keyRect(82), extra = picker.keyRect(83);
    EXPECT_NEAR(shift.right(), extra.left(), 1.0);
    EXPECT_NEAR(shift.top(), extra.top(), 0.5);
    const auto clickOn = [&](unsigned key) {
        QTest::mouseClick(&picker, Qt::LeftButton, {}, centreOf(picker.keyRect(key)));
        return dialog.chosenKey().value_or(KVPickedKey{});
    };
    const auto chosen = clickOn(83);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(chosen.index, 83u);
    EXPECT_EQ(chosen.shortName, "\\");
    EXPECT_EQ(chosen.usage, 0x64);
    EXPECT_EQ(clickOn(84).name, "Z");
    EXPECT_EQ(dialog.chosenKey()->scanCode, 0x2C);
    EXPECT_EQ(clickOn(82).name, "ShiftLeft");

    CKVOnScreenKeyboard byKeys;
    byKeys.show();
    byKeys.picker()->setFocus();
    settle();
    for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Down}) // the first lands on Escape
        QTest::keyClick(byKeys.picker(), key);
    EXPECT_EQ(byKeys.picker()->currentKey(), kGrave);
    QTest::keyClick(byKeys.picker(), Qt::Key_Return);
    EXPECT_EQ(byKeys.chosenKey().value_or(KVPickedKey{}).name, "GraveAccent");

    CKVOnScreenKeyboard cancelled;
    QTimer::singleShot(0, &cancelled, &QDialog::reject);
    EXPECT_EQ(cancelled.exec(), QDialog::Rejected);
    EXPECT_FALSE(cancelled.chosenKey());
}

TEST(KeyboardArrowKeys, UpAndDownFindTheKeyAboveOrBelowAcrossGapsAndStopAtTheEdges) {
    using enum corvane::editor::KVKeyDirection;
    const auto keys = corvane::editor::KVDrawnKeys::mainKeyboard();
    constexpr unsigned kEnd = 56, kKeypadMinus = 38, kKeypadPlus = 79, kN = 88, kUpArrow = 94, kSpace = 103;
    const struct {
        unsigned from;
        corvane::editor::KVKeyDirection direction;
        std::optional<unsigned> to;
    } cases[] = {
        {kUpArrow, Up, kEnd}, // over the gap above the arrow keys
        {kEnd, Down, kUpArrow}, {kKeypadMinus, Down, kKeypadPlus},
        {kSpace, Up, kN},       {kTab, Up, kGrave},
        {kF5, Up, {}},          {kSpace, Down, {}},
        {kEscape, Left, {}},    {112, Right, {}},
        {12, Right, 13u}, // F12 to Print Screen
    };
    for (const auto& c : cases)
        EXPECT_EQ(keys.neighbour(c.from, c.direction), c.to) << c.from << " " << int(c.direction);
}
