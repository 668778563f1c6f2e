#include "conditions/ConditionStore.h"

#include "ConditionFixture.h"
#include "conditions/ApplicationCondition.h"
#include "conditions/ModifierCondition.h"
#include "conditions/ModifierMask.h"
#include "conditions/StoredPluginCondition.h"
#include "conditions/SysCondition.h"
#include "conditions/SysLayoutCondition.h"
#include "core/Guid.h"
#include "store/PropertyNode.h"

#include <map>

using namespace corvane;

namespace {

using ConditionStoreTest = ConditionFixture;

using Values = std::map<std::string, std::string>;

// A stored entry's keys and values, its nested dictionaries as empty values.
Values valuesOf(const KVPropertyNode& node) {
    Values values;
    for (const auto& child : node.children())
        values[child->name()] = child->value();
    return values;
}

KVPtr<KVPropertyNode> entry(const std::string& key, const Values& values) {
    auto node = KVPropertyNode::create(key);
    for (const auto& [name, value] : values)
        node->addChild(name, value);
    return node;
}

TEST_F(ConditionStoreTest, UnknownOrMissingTypeIsSkippedAndMissingKeysGiveConditionsThatLoad) {
    auto conditions = KVPropertyNode::create("Conditions");
    conditions->setChild(entry("{Z}", {{"Type", "lock"}, {"Modifiers", "l"}}));
    conditions->setChild(entry("{Y}", {{"Type", "weather"}, {"Modifiers", "c"}}));
    conditions->setChild(entry("{X}", {{"Modifiers", "c"}}));
    conditions->setChild(entry("{W}", {{"Type", "sys_condition"}}));
    conditions->setChild(KVPropertyNode::create("{V}", "not a dictionary"));
    conditions->setChild(entry("{A}", {{"Type", "modifier"}}));
    conditions->setChild(entry("{B}", {{"Type", "language"}, {"PCLayoutID", "garbage"}}));
    conditions->setChild(entry("{C}", {{"Type", "application"}}));
    // Any predicate but "is foreground" is a running test, as older versions wrote "is active".
    conditions->setChild(
        entry("{D}", {{"Type", "application"}, {"PCApplicationID", "b"}, {"Predicate", "is active"}}));

    auto list = loadConditions(*conditions, environment);
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list[0]->Type(), "lock");
    applications.setRunning({"b", ""});
    EXPECT_TRUE(list[1]->IsTrue()) << "no modifiers: the empty mask";
    EXPECT_FALSE(list[2]->IsTrue()) << "layout zero never holds";
    EXPECT_FALSE(list[3]->IsTrue()) << "no application never matches";
    EXPECT_FALSE(dynamic_cast<KVApplicationCondition&>(*list[4]).Foreground());
    EXPECT_TRUE(list[4]->IsTrue());
}

TEST_F(ConditionStoreTest, SavingWritesStringEntriesUnderGuidKeysThatLoadBackAndEveryMaskReadsBack) {
    KVConditionList list{std::make_shared<KVModifierCondition>(environment, 0),
                         std::make_shared<KVLockCondition>(environment, KV_MOD_SHIFT | KV_LOCK_CAPS),
                         std::make_shared<KVSysLayoutCondition>(environment, 0x409),
                         std::make_shared<KVApplicationCondition>(environment, "Gimp", true),
                         std::make_shared<KVApplicationCondition>(environment, "vim", false),
                         std::make_shared<KVSysCondition>(environment),
                         nullptr};
    auto saved = KVPropertyNode::create("Conditions");
    saveConditions(*saved, list);
    std::vector<Values> expected{
        {{"Type", "modifier"}, {"Modifiers", "Main"}},
        {{"Type", "lock"}, {"Modifiers", "sl"}},
        {{"Type", "language"}, {"PCLayoutID", "00000409"}},
        {{"Type", "application"}, {"PCApplicationID", "Gimp"}, {"Predicate", "is foreground"}},
        {{"Type", "application"}, {"PCApplicationID", "vim"}, {"Predicate", "is running"}},
    };
    // Neither the keyboard condition nor the empty entry is stored.
    ASSERT_EQ(saved->children().size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(isGuidString(saved->children()[i]->name())) << saved->children()[i]->name();
        EXPECT_EQ(valuesOf(*saved->children()[i]), expected[i]) << i;
    }
    auto reloaded = loadConditions(*saved, environment);
    ASSERT_EQ(reloaded.size(), 5u);
    EXPECT_EQ(dynamic_cast<KVLockCondition&>(*reloaded[1]).Mask(), 20u);
    EXPECT_TRUE(dynamic_cast<KVApplicationCondition&>(*reloaded[3]).Foreground());

    EXPECT_EQ(modifierLetters(255), "acszlknr");
    for (uint32_t mask = 0; mask <= 255; ++mask)
        EXPECT_EQ(parseModifierLetters(modifierLetters(mask)), mask) << mask;
    EXPECT_EQ(parseModifierLetters("c-x?S"), 2u); // upper case is not a letter of the table
    // Only the whole word is the empty mask; "main" is its letters one by one.
    EXPECT_EQ(parseModifierLetters("Main"), 0u);
    EXPECT_EQ(parseModifierLetters("main"), 1u | 64u);
    EXPECT_EQ(parseLayoutText("f002040c"), 0xF002040Cu);
    EXPECT_EQ(parseLayoutText("xyz"), 0u);
}

TEST_F(ConditionStoreTest, PluginConditionKeepsItsStoredEntryWholeAndIndependent) {
    const Values kept{
        {"Type", "plugin"}, {"PluginID", "com.example.weather"}, {"SubPluginID", "rain"}, {"Future", "kept"}};
    auto stored = entry("{P}", kept);
    auto properties = stored->addChild("PluginProperties");
    properties->addChild("City", "Graz");

    auto condition = createCondition(*stored, environment);
    ASSERT_TRUE(dynamic_cast<KVStoredPluginCondition*>(condition.get()));
    EXPECT_FALSE(condition->IsTrue());
    // Changing the loaded document afterwards must not reach the condition.
    properties->addChild("City", "Wien");

    auto saved = KVPropertyNode::create("Conditions");
    saveConditions(*saved, {condition});
    ASSERT_EQ(saved->children().size(), 1u);
    Values withProperties = kept;
    withProperties["PluginProperties"] = "";
    EXPECT_EQ(valuesOf(*saved->children()[0]), withProperties);
    auto savedProperties = saved->children()[0]->findChild("PluginProperties");
    ASSERT_TRUE(savedProperties);
    EXPECT_EQ(savedProperties->childValue("City"), "Graz");
}

} // namespace
