#include "ConditionFixture.h"
#include "conditions/ApplicationCondition.h"
#include "conditions/ConditionList.h"
#include "conditions/ModifierCondition.h"
#include "conditions/StoredPluginCondition.h"
#include "conditions/SysLayoutCondition.h"

#include <string>
#include <vector>

using namespace corvane;

namespace {

using ConditionTest = ConditionFixture;

TEST_F(ConditionTest, ModifierAndLockConditionsFollowTheHookAndTheKeyboard) {
    KVModifierCondition ctrlShift(environment, KV_MOD_CTRL | KV_MOD_SHIFT);
    hook.setModifiersState(KV_MOD_CTRL | KV_MOD_SHIFT | KV_MOD_ALT);
    EXPECT_TRUE(ctrlShift.IsTrue());
    EXPECT_EQ(KVModifierCondition(environment, 0x104).Mask(), 4u) << "bits no stored form holds are dropped";
    // Ctrl from the session, Shift held on the keyboard itself, which the hook does not see.
    hook.setModifiersState(KV_MOD_CTRL);
    keyboard.setModifierMask(KV_MOD_SHIFT);
    EXPECT_TRUE(ctrlShift.IsTrue());
    // The keyboard is pulled: its mask goes to 0 and no stale bit is left.
    keyboard.setModifierMask(0);
    EXPECT_FALSE(ctrlShift.IsTrue());
    EXPECT_FALSE(conditionsHold({std::make_shared<KVModifierCondition>(environment, 0), nullptr}));

    hook.setModifiersState(15 | KV_LOCK_NUM);
    EXPECT_TRUE(KVLockCondition(environment, KV_LOCK_NUM).IsTrue());
}

TEST_F(ConditionTest, ApplicationLayoutAndUnloadedConditions) {
    applications.setRunning({"notepad.exe", "gedit"});
    applications.setForeground("gedit");
    KVApplicationCondition notepad(environment, "NotePad.EXE");
    EXPECT_TRUE(notepad.IsTrue()) << "whatever the case of the stored identifier";
    notepad.SetForeground(true);
    EXPECT_FALSE(notepad.IsTrue());

    KVSysLayoutCondition german(environment, 0x04070407);
    layouts.setCurrent(0x04070407);
    EXPECT_TRUE(german.IsTrue());
    layouts.setCurrent(0x00000407);
    EXPECT_FALSE(german.IsTrue()) << "the whole handle is compared";

    EXPECT_FALSE(KVStoredPluginCondition(environment).IsTrue()) << "no plug-in loaded";
}

TEST_F(ConditionTest, AddingStartsRemovingAndDestroyingStop) {
    struct Watching : KVCondition {
        std::vector<std::string>& log;
        std::string name;
        Watching(std::vector<std::string>& log, std::string name)
            : KVCondition("test", nullptr), log(log), name(name) {}
        bool IsTrue() override { return true; }
        void Load(const KVPropertyNode&) override {}
        bool Save(KVPropertyNode&) const override { return false; }
        void Start() override { log.push_back("start " + name); }
        void Stop() override { log.push_back("stop " + name); }
    };
    std::vector<std::string> log;
    KVConditionList list;
    auto a = std::make_shared<Watching>(log, "a");
    addCondition(list, a);
    addCondition(list, std::make_shared<Watching>(log, "b"));
    addCondition(list, nullptr);
    list.push_back(std::make_shared<Watching>(log, "c")); // as loaded: not started
    EXPECT_EQ(list.size(), 3u);
    EXPECT_TRUE(removeCondition(list, list[0]));
    EXPECT_FALSE(removeCondition(list, a));
    stopConditions(list);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(log, (std::vector<std::string>{"start a", "start b", "stop a", "stop b", "stop c"}));
}

} // namespace
