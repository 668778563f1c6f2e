#include "store/PropertyNode.h"

#include "images/KVImage.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> names(const KVPropertyNode& node) {
    std::vector<std::string> result;
    for (const auto& child : node.children())
        result.push_back(child->name());
    return result;
}

} // namespace

TEST(PropertyNode, SetChildReplacesInPlaceAndAppendsOtherwise) {
    auto node = KVPropertyNode::create("root");
    for (const char* name : {"a", "b", "c"})
        EXPECT_TRUE(node->setChild(KVPropertyNode::create(name, "1")));
    EXPECT_FALSE(node->setChild(KVPropertyNode::create("a", "new")));
    EXPECT_FALSE(node->setChild(nullptr));
    EXPECT_EQ(names(*node), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(node->childValue("a"), "new");

    // Every namesake is replaced; that only happens when a name was changed behind the node's back.
    node->findChild("c")->setName("a");
    node->setChild(KVPropertyNode::create("a", "both"));
    EXPECT_EQ(node->children()[0]->value(), "both");
    EXPECT_EQ(node->children()[2]->value(), "both");
}

TEST(PropertyNode, CopySharesChildrenButNotTheImage) {
    auto image = std::make_shared<KVImage>(KVImage::kKeySize, KVImage::kKeySize);
    image->setSourcePath("/profile/Escape.png");
    auto node = KVPropertyNode::create("Escape", "value", image);
    auto child = node->addChild("ScanCode", "028");

    const auto copy = node->copy();
    ASSERT_TRUE(copy->image());
    EXPECT_NE(copy->image(), image);
    EXPECT_EQ(copy->image()->sourcePath(), "/profile/Escape.png");
    EXPECT_EQ(copy->findChild("ScanCode"), child) << "children are shared";
    copy->addChild("Keystroke", "a");
    EXPECT_FALSE(node->findChild("Keystroke")) << "the list itself is the copy's own";
    EXPECT_FALSE(KVPropertyNode::create("plain")->copy()->image());
}
