#include "conditions/ConditionStore.h"

#include "ConditionFixture.h"
#include "conditions/ApplicationCondition.h"
#include "conditions/ModifierCondition.h"
#include "conditions/StoredPluginCondition.h"
#include "conditions/SysCondition.h"
#include "conditions/SysLayoutCondition.h"
#include "core/Guid.h"
#include "store/PropertyNode.h"

#include <map>
#include <set>

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

template <class T> T* as(const KVPtr<KVCondition>& condition) {
    return dynamic_cast<T*>(condition.get());
}

TEST_F(ConditionStoreTest, UnknownOrMissingTypeIsSkippedAndTheRestLoadsInDocumentOrder) {
    auto conditions = KVPropertyNode::create("Conditions");
    conditions->setChild(entry("{Z}", {{"Type", "lock"}, {"Modifiers", "l"}}));
    conditions->setChild(entry("{Y}", {{"Type", "weather"}, {"Modifiers", "c"}}));
    conditions->setChild(entry("{X}", {{"Modifiers", "c"}}));
    conditions->setChild(entry("{W}", {{"Type", "sys_condition"}}));
    conditions->setChild(KVPropertyNode::create("{V}", "not a dictionary"));
    conditions->setChild(entry("{A}", {{"Type", "modifier"}, {"Modifiers", "a"}}));

    auto list = loadConditions(*conditions, environment);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->Type(), "lock");
    EXPECT_EQ(as<KVModifierCondition>(list[1])->Mask(), 1u);
}

TEST_F(ConditionStoreTest, MissingKeysGiveEmptyMaskLayoutZeroAndAnApplicationThatNeverMatches) {
    auto make = [&](const Values& values) { return createCondition(*entry("{1}", values), environment); };
    auto modifier = make({{"Type", "modifier"}});
    auto main = make({{"Type", "modifier"}, {"Modifiers", "Main"}});
    auto layout = make({{"Type", "language"}, {"PCLayoutID", "garbage"}});
    auto application = make({{"Type", "application"}});
    auto noPredicate = make({{"Type", "application"}, {"PCApplicationID", "b"}});
    // Any predicate but "is foreground" is a running test, as older versions wrote "is active".
    auto active = make({{"Type", "application"}, {"PCApplicationID", "b"}, {"Predicate", "is active"}});
    ASSERT_TRUE(modifier && main && layout && application && noPredicate && active);
    EXPECT_FALSE(as<KVApplicationCondition>(noPredicate)->Foreground());
    EXPECT_FALSE(as<KVApplicationCondition>(active)->Foreground());
    applications.setRunning({"b"});
    EXPECT_TRUE(active->IsTrue() && modifier->IsTrue() && main->IsTrue());
    EXPECT_EQ(as<KVSysLayoutCondition>(layout)->Layout(), 0u);
    EXPECT_FALSE(layout->IsTrue());
    applications.setRunning({""});
    EXPECT_FALSE(application->IsTrue());
}

TEST_F(ConditionStoreTest, SavingWritesStringEntriesUnderFreshGuidKeys) {
    KVConditionList list{std::make_shared<KVModifierCondition>(environment, 0),
                         std::make_shared<KVLockCondition>(environment, KV_MOD_SHIFT | KV_LOCK_CAPS),
                         std::make_shared<KVSysLayoutCondition>(environment, 0x409),
                         std::make_shared<KVApplicationCondition>(environment, "Gimp", true),
                         std::make_shared<KVApplicationCondition>(environment, "vim", false),
                         std::make_shared<KVSysCondition>(environment),
                         nullptr};
    auto first = KVPropertyNode::create("Conditions");
    saveConditions(*first, list);
    ASSERT_EQ(first->children().size(), 5u); // neither the keyboard condition nor the empty entry

    std::vector<Values> expected{
        {{"Type", "modifier"}, {"Modifiers", "Main"}},
        {{"Type", "lock"}, {"Modifiers", "sl"}},
        {{"Type", "language"}, {"PCLayoutID", "00000409"}},
        {{"Type", "application"}, {"PCApplicationID", "Gimp"}, {"Predicate", "is foreground"}},
        {{"Type", "application"}, {"PCApplicationID", "vim"}, {"Predicate", "is running"}},
    };
    std::set<std::string> keys;
    for (size_t i = 0; i < expected.size(); ++i) {
        const auto& saved = first->children()[i];
        EXPECT_TRUE(isGuidString(saved->name())) << saved->name();
        keys.insert(saved->name());
        EXPECT_EQ(valuesOf(*saved), expected[i]) << i;
    }

    auto second = KVPropertyNode::create("Conditions");
    saveConditions(*second, list);
    for (const auto& saved : second->children())
        keys.insert(saved->name());
    EXPECT_EQ(keys.size(), 10u) << "every save uses new keys";

    // And back: the same payloads, in the same order.
    auto reloaded = loadConditions(*second, environment);
    ASSERT_EQ(reloaded.size(), 5u);
    EXPECT_EQ(as<KVLockCondition>(reloaded[1])->Mask(), 20u);
    EXPECT_TRUE(as<KVApplicationCondition>(reloaded[3])->Foreground());
}

TEST_F(ConditionStoreTest, PluginConditionKeepsItsStoredEntryWholeAndIndependent) {
    auto stored = entry("{P}", {{"Type", "plugin"},
                                {"PluginID", "com.example.weather"},
                                {"SubPluginID", "rain"},
                                {"Future", "kept"}});
    auto properties = stored->addChild("PluginProperties");
    properties->addChild("City", "Graz");
    properties->addChild("Enabled", "true");

    auto condition = createCondition(*stored, environment);
    ASSERT_TRUE(as<KVStoredPluginCondition>(condition));
    EXPECT_FALSE(condition->IsTrue());
    // Changing the loaded document afterwards must not reach the condition.
    properties->addChild("City", "Wien");

    auto saved = KVPropertyNode::create("Conditions");
    saveConditions(*saved, {condition});
    ASSERT_EQ(saved->children().size(), 1u);
    const auto& out = saved->children()[0];
    EXPECT_EQ(valuesOf(*out), (Values{{"Type", "plugin"},
                                      {"PluginID", "com.example.weather"},
                                      {"SubPluginID", "rain"},
                                      {"Future", "kept"},
                                      {"PluginProperties", ""}}));
    auto savedProperties = out->findChild("PluginProperties");
    ASSERT_TRUE(savedProperties);
    EXPECT_EQ(savedProperties->childValue("City"), "Graz");
}

} // namespace
