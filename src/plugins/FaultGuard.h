#pragma once

namespace corvane::plugins {

// Runs `function(argument)` so that a processor fault inside it (SIGSEGV, SIGBUS, SIGFPE, SIGILL on
// this thread) returns here instead of ending the process. Answers 0, or the number of the signal that
// cut the call short.
//
// How: the first call installs handlers for the four signals (on an alternate signal stack, so a stack
// overflow can be caught too) and each call arms a thread-local jump buffer with sigsetjmp. A fault while
// the buffer is armed jumps back with siglongjmp. A fault with nothing armed - a real fault of the
// program, or one on a thread that made no guarded call - goes on to the disposition that was there
// before, so it still ends the process and dumps core as it should.
//
// What it cannot do: frames of the interrupted code are abandoned without unwinding (their destructors
// do not run, their memory leaks), and locks they held stay held, so a fault inside malloc or under a
// plug-in's own lock can leave the process hanging later. Faults on the plug-in's own threads are not
// contained. It makes a crashing plug-in survivable, not safe: the caller must never call that code again.
int runContained(void (*function)(void*), void* argument);

// While the program's own code runs inside a guarded call (a plug-in calling back into its context), a
// fault is the program's, not the plug-in's: this scope disarms the guard of this thread meanwhile.
class KVUnguardedScope {
public:
    KVUnguardedScope();
    ~KVUnguardedScope();
    KVUnguardedScope(const KVUnguardedScope&) = delete;
    KVUnguardedScope& operator=(const KVUnguardedScope&) = delete;

private:
    void* m_saved;
};

// Whether the handlers could be installed; false leaves faults uncontained (logged once).
bool faultGuardInstalled();

} // namespace corvane::plugins
