#include "store/PropertyNode.h"

#include "images/KVImage.h"

#include <gtest/gtest.h>

TEST(PropertyNode, SetChildReplacesInPlaceAndAppendsOtherwise) {
    auto node = KVPropertyNode::create("root");
    for (const char* name : {"a", "b", "c"})
        EXPECT_TRUE(node->setChild(KVPropertyNode::create(name, "1")));
    EXPECT_FALSE(node->setChild(KVPropertyNode::create("a", "new")));
    EXPECT_FALSE(node->setChild(nullptr));
    ASSERT_EQ(node->children().size(), 3u);
    EXPECT_EQ(node->children()[0]->value(), "new");

    // Every namesake is replaced; that only happens when a name was changed behind the node's back.
    node->findChild("c")->setName("a");
    node->setChild(KVPropertyNode::create("a", "both"));
    EXPECT_EQ(node->children()[0]->value(), "both");
    EXPECT_EQ(node->children()[2]->value(), "both");
}

TEST(PropertyNode, CopySharesChildrenButNotTheImageAndDeepCopySharesNothing) {
    auto image = std::make_shared<KVImage>(KVImage::kKeySize, KVImage::kKeySize);
    image->setSourcePath("/profile/Escape.png");
    auto node = KVPropertyNode::create("Escape", "value", image);
    auto list = node->addChild("Recent");
    list->appendNewChild(KVPropertyNode::create("string", "one"));
    list->appendNewChild(KVPropertyNode::create("string", "two"));

    const auto copy = node->copy();
    ASSERT_TRUE(copy->image());
    EXPECT_NE(copy->image(), image);
    EXPECT_EQ(copy->image()->sourcePath(), "/profile/Escape.png");
    EXPECT_EQ(copy->findChild("Recent"), list) << "children are shared";
    copy->addChild("Keystroke", "a");
    EXPECT_FALSE(node->findChild("Keystroke")) << "the list itself is the copy's own";
    EXPECT_FALSE(KVPropertyNode::create("plain")->copy()->image());

    const auto deep = node->deepCopy();
    ASSERT_EQ(deep->findChild("Recent")->children().size(), 2u);
    EXPECT_EQ(deep->findChild("Recent")->children()[1]->value(), "two");
    EXPECT_NE(deep->image(), image);
    deep->findChild("Recent")->children()[0]->setValue("changed");
    EXPECT_EQ(list->children()[0]->value(), "one");
}
