#include "layers/UndoStack.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

// Appends its text on redo and removes it on undo, so the log is the model.
struct LogCommand final : KVUndoCommand {
    LogCommand(Log& log, std::string text) : KVUndoCommand(text), m_log(log) {}
    void redo() override { m_log.push_back(text()); }
    void undo() override {
        ASSERT_FALSE(m_log.empty());
        ASSERT_EQ(m_log.back(), text()) << "undone out of order";
        m_log.pop_back();
    }
    Log& m_log;
};

struct UndoStackTest : ::testing::Test {
    void push(const std::string& text) { ASSERT_TRUE(stack.push(std::make_unique<LogCommand>(log, text))); }
    Log log;
    KVUndoStack stack;
};

TEST_F(UndoStackTest, UndoAndRedoWalkTheLatest200StepsAndANewEditDropsWhatWasUndone) {
    for (int i = 0; i < 250; ++i)
        push(std::to_string(i));
    while (stack.undo())
        ;
    EXPECT_EQ(log.back(), "49") << "only the latest 200 steps are undone";
    // Redoing everything after an undo past the limit's edge still works.
    while (stack.redo())
        ;
    EXPECT_EQ(log.back(), "249");
    ASSERT_TRUE(stack.undo() && stack.undo() && stack.undo());
    push("new");
    EXPECT_FALSE(stack.canRedo());
    EXPECT_EQ(stack.count(), 198u);
    stack.clear();
    EXPECT_FALSE(stack.canUndo());
    EXPECT_EQ(Log(log.end() - 2, log.end()), (Log{"246", "new"})) << "clearing forgets, it does not undo";
}

TEST_F(UndoStackTest, AMacroIsOneStepUndoneInReverseAndAnEmptyOneLeavesNothing) {
    stack.beginMacro("Paste to 3 keys");
    push("1");
    push("2");
    EXPECT_FALSE(stack.canUndo()) << "no undo halfway through a step";
    stack.endMacro();
    stack.beginMacro("nothing");
    stack.endMacro();
    EXPECT_EQ(stack.count(), 1u);
    ASSERT_TRUE(stack.undo());
    EXPECT_TRUE(log.empty());
}

TEST_F(UndoStackTest, ACommandCannotRecordAnotherWhileItRuns) {
    struct Reentrant final : KVUndoCommand {
        Reentrant(KVUndoStack& stack, Log& log) : KVUndoCommand("outer"), stack(stack), log(log) {}
        void redo() override { accepted = stack.push(std::make_unique<LogCommand>(log, "inner")); }
        void undo() override {}
        KVUndoStack& stack;
        Log& log;
        bool accepted = true;
    };
    auto command = std::make_unique<Reentrant>(stack, log);
    auto* outer = command.get();
    ASSERT_TRUE(stack.push(std::move(command)));
    EXPECT_FALSE(outer->accepted);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(stack.count(), 1u);
}

} // namespace
