#include "EditorFixture.h"
#include "WindowTestSupport.h"
#include "editor/LayersTreeCtrl.h"
#include "editor/LayersTreeModel.h"
#include "layers/LayerCake.h"
#include "layers/LayersController.h"

namespace {

std::vector<std::string> namesIn(const KVLayersItem& group) {
    std::vector<std::string> names;
    for (const auto& item : group.children())
        names.push_back(item->displayName());
    return names;
}

// The rows as "name(child,child)", placeholders by their text.
std::string shapeOf(KVLayersTreeModel& model, const QModelIndex& parent = {}) {
    std::string shape;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        shape += (row ? "," : "") + model.data(index, Qt::DisplayRole).toString().toStdString();
        if (model.rowCount(index))
            shape += "(" + shapeOf(model, index) + ")";
        EXPECT_EQ(model.parent(index), parent);
    }
    return shape;
}

class LayersTreeTest : public EditorFixture {
protected:
    CKVLayersTreeCtrl& tree() { return *window().tree(); }
    KVLayersTreeModel& model() { return tree().layersModel(); }
    KVPtr<KVLayersGroup> user() { return services().cake.userLayers(); }
    QModelIndex indexOf(const KVPtr<KVLayersItem>& item) { return model().indexOf(item.get()); }
    std::string textAt(const QModelIndex& index) {
        return model().data(index, Qt::DisplayRole).toString().toStdString();
    }
};

} // namespace

TEST_F(LayersTreeTest, TheSelectedItemIsEditedAndShownUntilAnotherIsSelectedOrItGoes) {
    auto& layers = services().layers;
    auto work = layers.Editing().NewLayer(user(), nullptr);
    auto group = layers.Editing().NewGroup(user(), work);
    tree().rebuild();
    tree().selectItem(group.get());
    DispatchProbe probe(services().dispatch);
    KVLayersController::KeySelection keys;
    layers.SetSelectedKeys(keys.set(3));

    tree().selectItem(work.get());
    EXPECT_EQ(layers.EditedItem(), work);
    EXPECT_TRUE(work->isShownForEditing() && work->isActive());
    EXPECT_TRUE(layers.SelectedKeys().none()) << "a key selection belongs to the item it was made in";
    EXPECT_EQ(probe.treeSelections, 1);
    EXPECT_GE(probe.keySelections, 1);

    QTest::keyClick(&tree(), Qt::Key_Down);
    EXPECT_EQ(layers.EditedItem(), group);
    EXPECT_FALSE(work->isShownForEditing());
    EXPECT_EQ(probe.treeSelections, 2);
    EXPECT_EQ(window().selectionText().toStdString(), "Group \"New group\"");
    // An empty group shows "(empty)" inside; choosing it leaves nothing to edit.
    const QModelIndex empty = model().index(0, 0, indexOf(group));
    EXPECT_EQ(textAt(empty), "(empty)");
    EXPECT_FALSE(model().flags(empty) & Qt::ItemIsSelectable);

    // Undone steps and edits made elsewhere rebuild the tree, which lets go of a gone item.
    auto fresh = tree().newLayer();
    QTest::keyClick(tree().findChild<QLineEdit*>(), Qt::Key_Escape);
    ASSERT_EQ(layers.EditedItem(), fresh);
    const int announced = probe.treeSelections;
    ASSERT_TRUE(layers.Editing().Undo());
    settle();
    EXPECT_FALSE(indexOf(fresh).isValid());
    EXPECT_EQ(layers.EditedItem(), nullptr);
    EXPECT_EQ(probe.treeSelections, announced + 1) << "the other windows hear that nothing is edited now";
    auto other = layers.Editing().NewLayer(user(), nullptr);
    services().dispatch.send<KVM_KEYS_EDITED>();
    EXPECT_TRUE(indexOf(other).isValid());
}

TEST_F(LayersTreeTest, TheRowsMirrorNestedGroupsAndDraggingMovesItemsButNeverIntoThemselves) {
    auto& editing = services().layers.Editing();
    auto outer = editing.NewGroup(user(), nullptr);
    editing.Rename(outer, "A");
    for (const char* name : {"a3", "a2", "a1"})
        editing.Rename(editing.NewLayer(outer, nullptr), name);
    auto inner = editing.NewGroup(outer, nullptr);
    editing.Rename(inner, "B");
    editing.Rename(editing.NewGroup(inner, nullptr), "C");
    auto work = editing.NewLayer(user(), outer);
    editing.Rename(work, "top");
    tree().rebuild();
    EXPECT_EQ(shapeOf(model()).rfind("A(B(C((empty))),a1,a2,a3),top,", 0), 0u) << shapeOf(model());
    EXPECT_TRUE(tree().isExpanded(model().indexOf(inner.get())));

    // Onto a group: into it, first.
    std::unique_ptr<QMimeData> dragged(model().mimeData({indexOf(work)}));
    ASSERT_TRUE(dragged);
    EXPECT_TRUE(model().canDropMimeData(dragged.get(), Qt::MoveAction, -1, 0, indexOf(inner)));
    ASSERT_TRUE(model().dropMimeData(dragged.get(), Qt::MoveAction, -1, 0, indexOf(inner)));
    EXPECT_EQ(namesIn(*inner), (std::vector<std::string>{"top", "C"}));
    EXPECT_TRUE(indexOf(work).isValid()) << "the tree was read again";
    EXPECT_EQ(editing.UndoText(), "Move layer top");
    // Between rows at the top: just there.
    ASSERT_TRUE(model().dropMimeData(dragged.get(), Qt::MoveAction, 0, 0, {}));
    EXPECT_EQ(namesIn(*user()).front(), "top");

    std::unique_ptr<QMimeData> group(model().mimeData({indexOf(outer)}));
    EXPECT_FALSE(model().canDropMimeData(group.get(), Qt::MoveAction, -1, 0, indexOf(inner)));
    EXPECT_FALSE(model().dropMimeData(group.get(), Qt::MoveAction, -1, 0, indexOf(outer)));
    const QModelIndex placeholder =
        model().index(0, 0, model().indexOf(inner->children().items().back().get()));
    EXPECT_EQ(textAt(placeholder), "(empty)");
    EXPECT_EQ(model().mimeData({placeholder}), nullptr) << "placeholders do not move";
}

TEST_F(LayersTreeTest, NoLayersRowGivesWayToTheFirstNewLayerAndNewItemsGoWhereTheSelectionIs) {
    auto& editing = services().layers.Editing();
    for (const auto& item : std::vector(user()->children().begin(), user()->children().end()))
        ASSERT_TRUE(editing.Delete(item));
    tree().rebuild();
    ASSERT_EQ(model().rowCount(), 1);
    EXPECT_EQ(textAt(model().index(0, 0)), "(No layers)");

    auto first = tree().newLayer();
    ASSERT_TRUE(first);
    EXPECT_EQ(namesIn(*user()), std::vector<std::string>{"New layer"});
    EXPECT_EQ(model().rowCount(), 1) << "the placeholder is gone";
    // The new item's name is open for typing at once.
    auto* editor = tree().findChild<QLineEdit*>();
    ASSERT_TRUE(editor);
    editor->setText("Work");
    QTest::keyClick(editor, Qt::Key_Return);
    settle();
    EXPECT_EQ(first->displayName(), "Work");

    // A new group takes the selected layer's place; a new layer with a group selected goes inside it.
    auto group = tree().newGroup();
    ASSERT_TRUE(group);
    QTest::keyClick(tree().findChild<QLineEdit*>(), Qt::Key_Escape);
    EXPECT_EQ(namesIn(*user()), (std::vector<std::string>{"New group", "Work"}));
    auto inner = tree().newLayer();
    EXPECT_EQ(namesIn(*group), std::vector<std::string>{"New layer"});
    EXPECT_EQ(services().layers.EditedItem(), inner);
}

TEST_F(LayersTreeTest, RenameInPlaceAndTheCheckBoxAreStepsAndARefusedNameLeavesTheOldLabel) {
    auto work = services().layers.Editing().NewLayer(user(), nullptr);
    tree().rebuild();
    tree().selectItem(work.get());
    QTest::keyClick(&tree(), Qt::Key_F2);
    auto* editor = tree().findChild<QLineEdit*>();
    ASSERT_TRUE(editor) << "F2 opens the name for editing";
    editor->selectAll();
    QTest::keyClicks(editor, "Games");
    QTest::keyClick(editor, Qt::Key_Return);
    settle();
    EXPECT_EQ(work->displayName(), "Games");
    EXPECT_EQ(services().layers.Editing().UndoText(), "Rename layer New layer");

    EXPECT_FALSE(model().setData(indexOf(work), QStringLiteral("   "), Qt::EditRole));
    EXPECT_EQ(textAt(indexOf(work)), "Games");
    EXPECT_FALSE(window().statusBar()->currentMessage().isEmpty()) << "the refusal is said";
    // The built-in group of the user's layers is not in the tree, so nothing there is renamed by it.
    EXPECT_FALSE(model().indexOf(user().get()).isValid());

    const QRect row = tree().visualRect(indexOf(work));
    const int margin = tree().style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &tree()) + 1;
    const int box = tree().style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &tree());
    QTest::mouseClick(tree().viewport(), Qt::LeftButton, {},
                      QPoint(row.left() + margin + box / 2, row.center().y()));
    EXPECT_FALSE(work->isEnabled());
    EXPECT_EQ(model().data(indexOf(work), Qt::CheckStateRole).toInt(), Qt::Unchecked);
    EXPECT_TRUE(work->isActive()) << "a layer being edited stays on the keyboard while it is shown";
    QTest::keyClick(&tree(), Qt::Key_Space);
    EXPECT_TRUE(work->isEnabled());
    EXPECT_EQ(services().layers.Editing().UndoText(), "Enable layer Games");
}
