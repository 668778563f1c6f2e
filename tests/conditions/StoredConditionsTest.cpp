#include "ConditionFixture.h"
#include "conditions/ConditionStore.h"
#include "store/PropertyListReader.h"
#include "store/PropertyNode.h"

using namespace corvane;

namespace {

using StoredConditionsTest = ConditionFixture;

// A layer document as another version of the program might have written it.
constexpr std::string_view kLayerDocument =
    R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>
<key>DisplayName</key><string>Editing</string>
<key>Conditions</key><dict>
  <key>{6F1C2D3A-0000-4000-8000-000000000001}</key><dict><key>Type</key><string>application</string>
    <key>PCApplicationID</key><string>NotePad.EXE</string><key>Predicate</key><string>is active</string></dict>
  <key>{6F1C2D3A-0000-4000-8000-000000000002}</key><dict><key>Type</key><string>telepathy</string></dict>
  <key>{6F1C2D3A-0000-4000-8000-000000000003}</key><dict><key>Type</key><string>modifier</string>
    <key>Modifiers</key><string>sc</string></dict>
</dict></dict></plist>
)";

TEST_F(StoredConditionsTest, StoredItemLoadsItsKnownConditionsAndTheyEvaluate) {
    auto document = parsePropertyList(kLayerDocument, "Layer");
    ASSERT_TRUE(document);
    auto conditionsNode = document->findChild("Conditions");
    ASSERT_TRUE(conditionsNode);
    auto conditions = loadConditions(*conditionsNode, environment);
    ASSERT_EQ(conditions.size(), 2u);
    EXPECT_EQ(conditions[0]->Type(), "application");
    EXPECT_EQ(conditions[1]->Type(), "modifier");

    EXPECT_FALSE(conditionsHold(conditions));
    applications.setRunning({"notepad.exe"}); // running, not in front: "is active" is a running test
    hook.setModifiersState(KV_MOD_CTRL);
    EXPECT_FALSE(conditionsHold(conditions));
    hook.setModifiersState(KV_MOD_CTRL | KV_MOD_SHIFT | KV_MOD_ALT);
    EXPECT_TRUE(conditionsHold(conditions));
}

} // namespace
