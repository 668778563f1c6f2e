// Must not compile: KVM_KEY_EVENT carries (unsigned key, int pressed), and this handler expects text.
#include "core/MessageDispatch.h"

struct Listener {
    void onKey(const char*, int) {}
};

void registerWrongHandler(CKVMessageDispatch& dispatch, Listener& listener) {
    dispatch.RegisterHandler<KVM_KEY_EVENT>(&listener, &Listener::onKey);
}
