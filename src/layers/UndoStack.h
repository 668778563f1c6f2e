#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

// One change that can be taken back. A command is executed by the stack the moment it is pushed (as its
// first redo), so doing and redoing can never differ.
class KVUndoCommand {
public:
    explicit KVUndoCommand(std::string text) : m_text(std::move(text)) {}
    virtual ~KVUndoCommand() = default;
    KVUndoCommand(const KVUndoCommand&) = delete;
    KVUndoCommand& operator=(const KVUndoCommand&) = delete;

    virtual void redo() = 0;
    virtual void undo() = 0;
    // What the editor's Edit menu shows after "Undo" or "Redo" ("Delete layer Work").
    const std::string& text() const { return m_text; }

private:
    std::string m_text;
};

// Several commands taken back and done again as one step: undone in reverse order.
class KVUndoMacro final : public KVUndoCommand {
public:
    using KVUndoCommand::KVUndoCommand;
    void add(std::unique_ptr<KVUndoCommand> command) { m_commands.push_back(std::move(command)); }
    bool empty() const { return m_commands.empty(); }
    void redo() override;
    void undo() override;

private:
    std::vector<std::unique_ptr<KVUndoCommand>> m_commands;
};

// The linear history of edits. Pushing executes a command and forgets everything that was undone; past
// the limit the oldest steps go. A macro groups what is pushed while it is open into one step.
class KVUndoStack {
public:
    static constexpr size_t kDefaultLimit = 200;

    explicit KVUndoStack(size_t limit = kDefaultLimit);

    // Executes `command` and records it (inside the open macro, if any). Refused while a step is being
    // undone or redone, when a command must not start another.
    bool push(std::unique_ptr<KVUndoCommand> command);
    // Macros nest; only the outermost one becomes a step, under its own text. An empty macro leaves no
    // step behind.
    void beginMacro(std::string text);
    void endMacro();
    bool inMacro() const { return !m_openMacros.empty(); }

    bool canUndo() const { return m_done > 0 && !inMacro(); }
    bool canRedo() const { return m_done < m_steps.size() && !inMacro(); }
    // The texts of the steps that Undo and Redo would take; empty when there is none.
    std::string undoText() const;
    std::string redoText() const;
    bool undo();
    bool redo();

    // Forgets every step (the configuration was saved: what is on disk can no longer be taken back).
    void clear();
    size_t count() const { return m_steps.size(); }
    size_t limit() const { return m_limit; }

private:
    void record(std::unique_ptr<KVUndoCommand> command);

    size_t m_limit;
    std::deque<std::unique_ptr<KVUndoCommand>> m_steps;
    size_t m_done = 0; // steps [0, m_done) are done, the rest undone
    std::vector<std::unique_ptr<KVUndoMacro>> m_openMacros;
    bool m_replaying = false;
};
