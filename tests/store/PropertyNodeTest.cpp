#include "store/PropertyNode.h"

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
    EXPECT_TRUE(node->setChild(KVPropertyNode::create("a", "1")));
    EXPECT_TRUE(node->setChild(KVPropertyNode::create("b", "2")));
    EXPECT_TRUE(node->setChild(KVPropertyNode::create("c", "3")));
    EXPECT_FALSE(node->setChild(KVPropertyNode::create("a", "new")));
    EXPECT_EQ(names(*node), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(node->childValue("a"), "new");
    EXPECT_FALSE(node->setChild(nullptr));
    EXPECT_EQ(node->children().size(), 3u);

    // Every namesake is replaced; that only happens when a name was changed behind the node's back.
    node->findChild("c")->setName("a");
    node->setChild(KVPropertyNode::create("a", "both"));
    EXPECT_EQ(node->children()[0]->value(), "both");
    EXPECT_EQ(node->children()[2]->value(), "both");
}

TEST(PropertyNode, LookUpIsExactAndFallsBack) {
    auto node = KVPropertyNode::create("root");
    auto added = node->addChild("DisplayName", "Games");
    EXPECT_EQ(node->findChild("DisplayName"), added);
    EXPECT_EQ(node->findChild("displayname"), nullptr);
    EXPECT_EQ(node->childValue("Missing", "default"), "default");
    EXPECT_EQ(node->childValue("DisplayName", "default"), "Games");
    EXPECT_EQ(node->childImage("DisplayName"), nullptr);
}

TEST(PropertyNode, RemoveChildErasesTheFirstOnly) {
    auto node = KVPropertyNode::create("root");
    node->addChild("a");
    node->addChild("b");
    EXPECT_TRUE(node->removeChild("a"));
    EXPECT_FALSE(node->removeChild("a"));
    EXPECT_EQ(names(*node), (std::vector<std::string>{"b"}));
}
