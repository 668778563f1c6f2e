#include "editor/LayersView.h"

#include "EditorFixture.h"
#include "core/MessageDispatch.h"
#include "editor/KeyboardPicture.h"
#include "editor/KeyboardSelect.h"
#include "editor/OnScreenKeyboard.h"
#include "images/BuiltInPictures.h"
#include "images/KVImage.h"
#include "images/KVTextRenderer.h"
#include "keyboard/KeyboardGeometry.h"
#include "layers/LayerCake.h"
#include "layers/LayersController.h"

#include <QAccessible>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QUrl>
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

// Counts the messages of one number while it lives.
template <KVMessage M> struct MessageCount {
    explicit MessageCount(CKVMessageDispatch& dispatch) : dispatch(dispatch) {
        dispatch.RegisterHandler<M>(this, &MessageCount::hit);
    }
    ~MessageCount() { dispatch.UnregisterHandlers(this); }
    void hit() { ++count; }
    CKVMessageDispatch& dispatch;
    int count = 0;
};

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
        for (int step = 1; step <= 4; ++step) {
            const QPoint at = from + (to - from) * step / 4;
            QMouseEvent move(QEvent::MouseMove, at, on.mapToGlobal(at), Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(&on, &move);
        }
        if (before)
            before();
        QTest::mouseRelease(&on, Qt::LeftButton, {}, to);
    }

    void dragKey(CKVLayersView& on, unsigned from, unsigned to) {
        drag(on, centreOf(on.keyRect(from)), centreOf(on.keyRect(to)));
    }
};

TEST_F(LayersViewTest, ClicksSelectKeysCtrlTogglesShiftExtendsAndEveryChangeIsAnnounced) {
    auto& v = view();
    editNewLayer();
    MessageCount<KVM_KEY_SELECTION_CHANGED> announced(services().dispatch);

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
    EXPECT_EQ(announced.count, 4);

    click(v, kF5, Qt::ShiftModifier);
    EXPECT_EQ(announced.count, 4) << "a click that changes nothing is not announced";
    click(v, kF2);
    EXPECT_EQ(selected(), (std::vector<unsigned>{kF2}));
}

TEST_F(LayersViewTest, RubberBandFromOutsideTheKeysSelectsWhatItTouchesAndAClickOutsideClears) {
    auto& v = view();
    editNewLayer();
    // From above and left of F1 (no key there) to the middle of F2's display.
    const QRectF f1 = v.keyRect(kF1), f2 = v.keyRect(kF2);
    const QPoint start(int(f1.left()) - 4, int(f1.top()) - 4);
    ASSERT_FALSE(v.keyAt(start));
    drag(v, start, centreOf(f2));
    EXPECT_EQ(selected(), (std::vector<unsigned>{kF1, kF2}));

    // Ctrl keeps what was selected and adds the band.
    QTest::mousePress(&v, Qt::LeftButton, Qt::ControlModifier, start);
    const QPoint escape = centreOf(v.keyRect(kEscape));
    QMouseEvent move(QEvent::MouseMove, escape, v.mapToGlobal(escape), Qt::NoButton, Qt::LeftButton,
                     Qt::ControlModifier);
    QApplication::sendEvent(&v, &move);
    QTest::mouseRelease(&v, Qt::LeftButton, Qt::ControlModifier, escape);
    EXPECT_EQ(selected(), (std::vector<unsigned>{kEscape, kF1, kF2}));

    QTest::mouseClick(&v, Qt::LeftButton, {}, start);
    EXPECT_TRUE(selection().none());
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

TEST_F(LayersViewTest, AMoveOfNinePixelsOrLessStaysAClick) {
    auto& v = view();
    editNewLayer();
    MenuWatch watch([](QMenu& menu) { menu.close(); });
    const QPoint f1 = centreOf(v.keyRect(kF1));
    drag(v, f1, f1 + QPoint(5, 4));
    settle(60);
    EXPECT_EQ(watch.opened, 0) << "no drop menu after a small move";
    EXPECT_EQ(selected(), (std::vector<unsigned>{kF1}));
    drag(v, f1, f1 + QPoint(5, 5) + (centreOf(v.keyRect(kF2)) - f1));
    settle(60);
    EXPECT_EQ(watch.opened, 1) << "a longer move onto another key drops it there";
}

TEST_F(LayersViewTest, DraggingF1OntoF2AndChoosingSwapSwapsPicturesAndActionsInOneStep) {
    auto& v = view();
    auto layer = editNewLayer();
    auto& editing = services().layers.Editing();
    ASSERT_TRUE(editing.SetKeyImage(layer, kF1, solid(200, 0, 0)));
    ASSERT_TRUE(editing.SetKeyCode(layer, kF1, 0x10, 0));
    ASSERT_TRUE(editing.SetKeyImage(layer, kF2, solid(0, 0, 200)));
    ASSERT_TRUE(editing.SetKeyCode(layer, kF2, 0x20, 0));
    MessageCount<KVM_KEYS_EDITED> edited(services().dispatch);
    MessageCount<KVM_KEY_SELECTION_CHANGED> announced(services().dispatch);

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
        const QPoint between = (f1 + f2 * 3) / 4;
        QMouseEvent move(QEvent::MouseMove, between, v.mapToGlobal(between), Qt::NoButton, Qt::LeftButton,
                         {});
        QApplication::sendEvent(&v, &move);
        saveScreenshots(v, "keyboard-view-dragging");
    });
    settle();

    EXPECT_EQ(texts, (QStringList{"Swap", "Paste", "-", "Partial...", "-", "Cancel"}));
    EXPECT_FALSE(partialEnabled);
    EXPECT_EQ(colourOf(layer->binding(kF1)), 0x0000c8u);
    EXPECT_EQ(colourOf(layer->binding(kF2)), 0xc80000u);
    EXPECT_EQ(layer->binding(kF1).scanCode, 0x20);
    EXPECT_EQ(layer->binding(kF2).scanCode, 0x10);
    EXPECT_GE(edited.count, 1);
    EXPECT_GE(announced.count, 1);

    ASSERT_TRUE(editing.Undo());
    EXPECT_EQ(colourOf(layer->binding(kF1)), 0xc80000u);
    EXPECT_EQ(colourOf(layer->binding(kF2)), 0x0000c8u);
    EXPECT_EQ(layer->binding(kF1).scanCode, 0x10);
}

TEST_F(LayersViewTest, PasteCopiesTheDraggedKeyAndCancelOrASameKeyDropChangesNothing) {
    auto& v = view();
    auto layer = editNewLayer();
    auto& editing = services().layers.Editing();
    ASSERT_TRUE(editing.SetKeyImage(layer, kF1, solid(0, 180, 0)));

    {
        MenuWatch cancel([](QMenu& menu) { clickItem(menu, QStringLiteral("Cancel")); });
        dragKey(v, kF1, kF3);
        settle();
        EXPECT_EQ(cancel.opened, 1);
        EXPECT_FALSE(layer->binding(kF3).isSet());
    }
    {
        MenuWatch paste([](QMenu& menu) { clickItem(menu, QStringLiteral("Paste")); });
        dragKey(v, kF1, kF3);
        settle();
    }
    EXPECT_EQ(colourOf(layer->binding(kF3)), 0x00b400u);
    EXPECT_EQ(colourOf(layer->binding(kF1)), 0x00b400u) << "the source keeps its binding";
    EXPECT_NE(layer->binding(kF3).image, layer->binding(kF1).image) << "the target has its own picture";
    EXPECT_EQ(selected(), (std::vector<unsigned>{kF3}));

    MenuWatch none([](QMenu& menu) { menu.close(); });
    const QRectF f1 = v.keyRect(kF1);
    drag(v, centreOf(f1), centreOf(f1) + QPoint(int(f1.width() / 3), 0));
    settle(60);
    EXPECT_EQ(none.opened, 0) << "a drop on the key itself";
}

TEST_F(LayersViewTest, TheKeyboardMovesTheFocusSelectsAndCutAndPasteOpensTheDropMenu) {
    auto& v = view();
    auto layer = editNewLayer();
    auto& editing = services().layers.Editing();
    ASSERT_TRUE(editing.SetKeyImage(layer, kF1, solid(200, 0, 0)));
    v.setFocus();
    settle();
    ASSERT_TRUE(v.hasFocus());

    QTest::keyClick(&v, Qt::Key_Right); // Escape -> F1
    EXPECT_EQ(v.focusKey(), kF1);
    EXPECT_EQ(selected(), (std::vector<unsigned>{kF1}));
    QTest::keyClick(&v, Qt::Key_Down);
    EXPECT_EQ(v.focusKey(), kGrave) << "the key below F1";
    QTest::keyClick(&v, Qt::Key_Up);
    EXPECT_EQ(v.focusKey(), kF1);
    QTest::keyClick(&v, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(selected(), (std::vector<unsigned>{kF1, kF2}));
    QTest::keyClick(&v, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(v.focusKey(), kF3);
    EXPECT_EQ(selected(), (std::vector<unsigned>{kF1, kF2})) << "Ctrl moves the focus only";
    QTest::keyClick(&v, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(selected(), (std::vector<unsigned>{kF1, kF2, kF3}));
    QTest::keyClick(&v, Qt::Key_Space);
    EXPECT_EQ(selected(), (std::vector<unsigned>{kF3}));

    // F1 marked, then F4: the drop menu opens with Swap first, and Enter takes it.
    QTest::keyClick(&v, Qt::Key_Left);
    QTest::keyClick(&v, Qt::Key_Left);
    QTest::keyClick(&v, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(v.markedKey(), kF1);
    QTest::keyClick(&v, Qt::Key_Right);
    QTest::keyClick(&v, Qt::Key_Right);
    QTest::keyClick(&v, Qt::Key_Right);
    QString active;
    MenuWatch watch([&](QMenu& menu) {
        active = menu.activeAction() ? menu.activeAction()->text() : QString();
        QTest::keyClick(&menu, Qt::Key_Return);
    });
    QTest::keyClick(&v, Qt::Key_V, Qt::ControlModifier);
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

TEST_F(LayersViewTest, AnotherEditedItemClearsTheSelectionAndTheViewFollowsTheModel) {
    auto& v = view();
    auto first = editNewLayer();
    click(v, kF1);
    ASSERT_FALSE(selection().none());
    EXPECT_EQ(v.shownItem(), first);
    auto second = editNewLayer();
    EXPECT_EQ(v.shownItem(), second);
    EXPECT_TRUE(selection().none());

    // Only a user layer's keys get the hot frame; a group's do not.
    const QPoint f1 = centreOf(v.keyRect(kF1));
    QTest::mouseMove(&v, f1);
    EXPECT_EQ(v.hotKey(), kF1);
    edit(services().cake.userLayers());
    QTest::mouseMove(&v, f1 + QPoint(1, 1));
    EXPECT_EQ(v.hotKey(), CKVLayersView::kNoKey);
}

TEST_F(LayersViewTest, KeysAreListedToScreenReadersAndFilesDroppedOnAKeySelectItAndSayWhatHappened) {
    auto& v = view();
    editNewLayer();
    click(v, kF2);
    QAccessibleInterface* keyboard = QAccessible::queryAccessibleInterface(&v);
    ASSERT_TRUE(keyboard);
    EXPECT_EQ(keyboard->text(QAccessible::Name), QStringLiteral("Keyboard"));
    ASSERT_EQ(keyboard->childCount(), 113);
    QAccessibleInterface* f2 = keyboard->child(int(kF2));
    ASSERT_TRUE(f2);
    EXPECT_EQ(f2->text(QAccessible::Name), QStringLiteral("F2"));
    EXPECT_TRUE(f2->state().selected);
    EXPECT_FALSE(keyboard->child(int(kF1))->state().selected);
    EXPECT_EQ(keyboard->indexOfChild(f2), int(kF2));

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/picture.png"))});
    const QPointF f4 = v.keyRect(kF4).center();
    QDragEnterEvent enter(f4.toPoint(), Qt::CopyAction, &files, Qt::LeftButton, {});
    QApplication::sendEvent(&v, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(f4, Qt::CopyAction, &files, Qt::LeftButton, {});
    QApplication::sendEvent(&v, &drop);
    EXPECT_EQ(selected(), (std::vector<unsigned>{kF4}));
    EXPECT_FALSE(window().statusBar()->currentMessage().isEmpty());
}

TEST_F(LayersViewTest, ScreenshotOfALayerWithPicturesASelectionAndAHotKey) {
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
}

TEST_F(LayersViewTest, ThePickerShows114KeysWithLeftShiftSplitAndAnswersTheChosenKey) {
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
    QTest::mouseClick(&picker, Qt::LeftButton, {}, centreOf(extra));
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_TRUE(dialog.chosenKey());
    EXPECT_EQ(dialog.chosenKey()->index, 83u);
    EXPECT_EQ(dialog.chosenKey()->shortName, "\\");
    EXPECT_EQ(dialog.chosenKey()->usage, 0x64);

    CKVOnScreenKeyboard second;
    second.show();
    settle();
    QTest::mouseClick(second.picker(), Qt::LeftButton, {}, centreOf(second.picker()->keyRect(84)));
    ASSERT_TRUE(second.chosenKey());
    EXPECT_EQ(second.chosenKey()->name, "Z");
    EXPECT_EQ(second.chosenKey()->scanCode, 0x2C);
    QTest::mouseClick(second.picker(), Qt::LeftButton, {}, centreOf(second.picker()->keyRect(82)));
    EXPECT_EQ(second.chosenKey()->name, "ShiftLeft");
}

TEST_F(LayersViewTest, ThePickerWorksFromTheKeyboardAndCancelChoosesNothing) {
    CKVOnScreenKeyboard dialog;
    dialog.show();
    dialog.picker()->setFocus();
    settle();
    QTest::keyClick(dialog.picker(), Qt::Key_Right); // the first arrow lands on Escape
    QTest::keyClick(dialog.picker(), Qt::Key_Right);
    QTest::keyClick(dialog.picker(), Qt::Key_Down);
    EXPECT_EQ(dialog.picker()->currentKey(), kGrave);
    QTest::keyClick(dialog.picker(), Qt::Key_Return);
    ASSERT_TRUE(dialog.chosenKey());
    EXPECT_EQ(dialog.chosenKey()->name, "GraveAccent");

    CKVOnScreenKeyboard cancelled;
    cancelled.show();
    settle();
    QTimer::singleShot(0, &cancelled, &QDialog::reject);
    EXPECT_EQ(cancelled.exec(), QDialog::Rejected);
    EXPECT_FALSE(cancelled.chosenKey());
}

TEST(KeyboardArrowKeys, UpAndDownFindTheKeyAboveOrBelowAcrossGapsAndStopAtTheEdges) {
    using corvane::editor::KVKeyDirection;
    const auto keys = corvane::editor::KVDrawnKeys::mainKeyboard();
    constexpr unsigned kEnd = 56, kKeypadMinus = 38, kKeypadPlus = 79, kN = 88, kUpArrow = 94, kSpace = 103;
    EXPECT_EQ(keys.neighbour(kUpArrow, KVKeyDirection::Up), kEnd) << "over the gap above the arrow keys";
    EXPECT_EQ(keys.neighbour(kEnd, KVKeyDirection::Down), kUpArrow);
    EXPECT_EQ(keys.neighbour(kKeypadMinus, KVKeyDirection::Down), kKeypadPlus);
    EXPECT_EQ(keys.neighbour(kSpace, KVKeyDirection::Up), kN);
    EXPECT_EQ(keys.neighbour(kTab, KVKeyDirection::Up), kGrave);
    EXPECT_FALSE(keys.neighbour(kF5, KVKeyDirection::Up));
    EXPECT_FALSE(keys.neighbour(kSpace, KVKeyDirection::Down));
    EXPECT_FALSE(keys.neighbour(kEscape, KVKeyDirection::Left));
    EXPECT_FALSE(keys.neighbour(112, KVKeyDirection::Right));
    EXPECT_EQ(keys.neighbour(12, KVKeyDirection::Right), 13u) << "F12 to Print Screen";
}
