#include "ConditionFixture.h"
#include "conditions/ApplicationCondition.h"
#include "conditions/ConditionList.h"
#include "conditions/ModifierCondition.h"
#include "conditions/StoredPluginCondition.h"
#include "conditions/SysCondition.h"
#include "conditions/SysLayoutCondition.h"

#include <string>
#include <vector>

using namespace corvane;

namespace {

using ConditionTest = ConditionFixture;

TEST_F(ConditionTest, ModifierMaskHoldsWhenAllItsKeysAreHeldFromTheHookOrTheKeyboard) {
    KVModifierCondition ctrlShift(environment, KV_MOD_CTRL | KV_MOD_SHIFT);
    hook.setModifiersState(KV_MOD_CTRL | KV_MOD_SHIFT | KV_MOD_ALT);
    EXPECT_TRUE(ctrlShift.IsTrue());
    hook.setModifiersState(0xFF);
    EXPECT_TRUE(KVModifierCondition(environment, 0).IsTrue());
    EXPECT_EQ(KVModifierCondition(environment, 0x104).Mask(), 4u) << "bits no stored form holds are dropped";

    // Ctrl from the session, Shift held on the keyboard itself, which the hook does not see.
    hook.setModifiersState(KV_MOD_CTRL);
    keyboard.setModifierMask(KV_MOD_SHIFT);
    EXPECT_EQ(environment->ModifierState(), uint32_t(KV_MOD_CTRL | KV_MOD_SHIFT));
    EXPECT_TRUE(ctrlShift.IsTrue());
    // The keyboard is pulled: its mask goes to 0 and no stale bit is left.
    keyboard.setModifierMask(0);
    EXPECT_FALSE(ctrlShift.IsTrue());
}

TEST_F(ConditionTest, LockConditionFollowsNumLockWhateverModifiersAreHeld) {
    KVLockCondition num(environment, KV_LOCK_NUM);
    for (int32_t held : {0, 1, 2, 4, 8, 15, 16, 128}) {
        hook.setModifiersState(held);
        EXPECT_FALSE(num.IsTrue()) << held;
        hook.setModifiersState(held | KV_LOCK_NUM);
        EXPECT_TRUE(num.IsTrue()) << held;
    }
}

TEST_F(ConditionTest, WithoutEnvironmentOrPluginConditionsSeeNothingAndSysFollowsTheKeyboard) {
    EXPECT_FALSE(KVModifierCondition(nullptr, KV_MOD_ALT).IsTrue());
    EXPECT_FALSE(KVApplicationCondition(nullptr, "a.exe").IsTrue());
    EXPECT_EQ(KVSysLayoutCondition(nullptr, 0x409).ImageIndex(), -1);
    EXPECT_FALSE(KVStoredPluginCondition(environment).IsTrue()) << "no plug-in loaded";
    KVSysCondition sys(environment);
    EXPECT_FALSE(sys.IsTrue());
    keyboard.setOpen(true);
    EXPECT_TRUE(sys.IsTrue());
}

TEST_F(ConditionTest, ApplicationMatchesWhateverTheCaseOfTheStoredIdentifier) {
    applications.setRunning({"notepad.exe", "gedit"});
    applications.setForeground("gedit");
    KVApplicationCondition notepad(environment, "NotePad.EXE");
    EXPECT_TRUE(notepad.IsTrue());

    notepad.SetForeground(true);
    EXPECT_FALSE(notepad.IsTrue());
    applications.setForeground("notepad.exe");
    EXPECT_TRUE(notepad.IsTrue());
}

TEST_F(ConditionTest, LayoutConditionComparesTheWholeHandleAndLayoutZeroNeverHolds) {
    KVSysLayoutCondition german(environment, 0x04070407);
    layouts.setCurrent(0x04070407);
    EXPECT_TRUE(german.IsTrue());
    layouts.setCurrent(0x00000407);
    EXPECT_FALSE(german.IsTrue());

    layouts.setCurrent(0); // no layout installed
    EXPECT_FALSE(KVSysLayoutCondition(environment, 0).IsTrue());
}

TEST_F(ConditionTest, ListAndItemRule) {
    auto win = std::make_shared<KVModifierCondition>(environment, KV_MOD_WIN);
    auto caps = std::make_shared<KVLockCondition>(environment, KV_LOCK_CAPS);
    EXPECT_TRUE(itemQualifies(true, false, {}));
    EXPECT_FALSE(itemQualifies(false, false, {}));
    hook.setModifiersState(KV_MOD_WIN);
    EXPECT_FALSE(conditionsHold({win, caps}));
    EXPECT_FALSE(conditionsHold({win, nullptr}));
    EXPECT_FALSE(itemQualifies(false, false, {win}));
    // Shown for editing: on whatever its switch and conditions say.
    EXPECT_TRUE(itemQualifies(false, true, {win, caps}));
    hook.setModifiersState(KV_MOD_WIN | KV_LOCK_CAPS);
    EXPECT_TRUE(itemQualifies(true, false, {caps, win}));
}

TEST_F(ConditionTest, AddingStartsRemovingAndDestroyingStop) {
    struct Watching : KVCondition {
        std::vector<std::string>& log;
        std::string name;
        Watching(std::vector<std::string>& log, std::string name)
            : KVCondition("test", nullptr), log(log), name(std::move(name)) {}
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
