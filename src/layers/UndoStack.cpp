#include "layers/UndoStack.h"

#include "core/Log.h"

namespace {

// Clears a flag on every way out of a replay.
class ReplayScope {
public:
    explicit ReplayScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~ReplayScope() { m_flag = false; }
    ReplayScope(const ReplayScope&) = delete;
    ReplayScope& operator=(const ReplayScope&) = delete;

private:
    bool& m_flag;
};

} // namespace

void KVUndoMacro::redo() {
    for (auto& command : m_commands)
        command->redo();
}

void KVUndoMacro::undo() {
    for (auto it = m_commands.rbegin(); it != m_commands.rend(); ++it)
        (*it)->undo();
}

KVUndoStack::KVUndoStack(size_t limit) : m_limit(limit == 0 ? 1 : limit) {}

bool KVUndoStack::push(std::unique_ptr<KVUndoCommand> command) {
    if (!command)
        return false;
    if (m_replaying) {
        corvane::logger("layers").error("edit \"{}\" refused: an undo or redo is in progress",
                                        command->text());
        return false;
    }
    {
        ReplayScope scope(m_replaying);
        command->redo();
    }
    if (inMacro())
        m_openMacros.back()->add(std::move(command));
    else
        record(std::move(command));
    return true;
}

void KVUndoStack::record(std::unique_ptr<KVUndoCommand> command) {
    m_steps.erase(m_steps.begin() + static_cast<std::ptrdiff_t>(m_done), m_steps.end());
    m_steps.push_back(std::move(command));
    while (m_steps.size() > m_limit)
        m_steps.pop_front();
    m_done = m_steps.size();
}

void KVUndoStack::beginMacro(std::string text) {
    m_openMacros.push_back(std::make_unique<KVUndoMacro>(std::move(text)));
}

void KVUndoStack::endMacro() {
    if (m_openMacros.empty()) {
        corvane::logger("layers").error("an edit group was closed that was never opened");
        return;
    }
    auto macro = std::move(m_openMacros.back());
    m_openMacros.pop_back();
    if (macro->empty())
        return;
    if (inMacro())
        m_openMacros.back()->add(std::move(macro));
    else
        record(std::move(macro));
}

std::string KVUndoStack::undoText() const {
    return canUndo() ? m_steps[m_done - 1]->text() : std::string();
}

std::string KVUndoStack::redoText() const {
    return canRedo() ? m_steps[m_done]->text() : std::string();
}

bool KVUndoStack::undo() {
    if (!canUndo() || m_replaying)
        return false;
    ReplayScope scope(m_replaying);
    m_steps[m_done - 1]->undo();
    --m_done;
    return true;
}

bool KVUndoStack::redo() {
    if (!canRedo() || m_replaying)
        return false;
    ReplayScope scope(m_replaying);
    m_steps[m_done]->redo();
    ++m_done;
    return true;
}

void KVUndoStack::clear() {
    m_steps.clear();
    m_done = 0;
}
