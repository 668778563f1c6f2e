#include "store/PropertyNode.h"

#include "images/KVImage.h"

#include <gtest/gtest.h>

// A copy is what an edit changes while the original stays as saved: it must share nothing it may change.
TEST(PropertyNode, CopiesShareNothingAnEditMayChange) {
    auto node = KVPropertyNode::create("Escape", "value",
                                       std::make_shared<KVImage>(KVImage::kKeySize, KVImage::kKeySize));
    node->image()->setSourcePath("/profile/Escape.png");
    auto list = node->addChild("Recent");
    list->appendNewChild(KVPropertyNode::create("string", "one"));
    list->appendNewChild(KVPropertyNode::create("string", "two"));

    const auto copy = node->copy();
    ASSERT_TRUE(copy->image());
    EXPECT_NE(copy->image(), node->image());
    EXPECT_EQ(copy->image()->sourcePath(), "/profile/Escape.png");
    copy->addChild("Other", "a");
    EXPECT_FALSE(node->findChild("Other")) << "the list itself is the copy's own";

    const auto deep = node->deepCopy();
    ASSERT_EQ(deep->findChild("Recent")->children().size(), 2u);
    EXPECT_NE(deep->image(), node->image());
    deep->findChild("Recent")->children()[0]->setValue("changed");
    EXPECT_EQ(list->children()[0]->value(), "one");
}
