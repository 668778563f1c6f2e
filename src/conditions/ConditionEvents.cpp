#include "conditions/ConditionEvents.h"

#include "core/Log.h"
#include "core/MessageDispatch.h"

namespace {
// A condition that flips at every evaluation must not hold the user-interface thread for ever.
constexpr int kMaxPasses = 8;
} // namespace

template <size_t... I> void KVConditionEvents::registerAll(std::index_sequence<I...>) {
    (m_dispatch.RegisterHandler<kMessages[I]>(this, &KVConditionEvents::onStateChanged), ...);
}

KVConditionEvents::KVConditionEvents(CKVMessageDispatch& dispatch, std::function<void()> reEvaluate)
    : m_dispatch(dispatch), m_reEvaluate(std::move(reEvaluate)) {
    registerAll(std::make_index_sequence<kMessages.size()>());
}

KVConditionEvents::~KVConditionEvents() {
    m_dispatch.UnregisterHandlers(this);
}

void KVConditionEvents::onStateChanged() {
    if (!m_reEvaluate)
        return;
    // A message sent from inside an evaluation (a plug-in reporting while it is activated, say) would
    // otherwise start a nested evaluation of a half-updated tree; it asks for one more pass instead.
    if (m_evaluating) {
        m_again = true;
        return;
    }
    m_evaluating = true;
    int passes = 0;
    do {
        m_again = false;
        m_reEvaluate();
    } while (m_again && ++passes < kMaxPasses);
    if (m_again)
        corvane::logger("conditions")
            .warn("state still changing after {} evaluations; waiting for the next event", kMaxPasses);
    m_again = false;
    m_evaluating = false;
}
