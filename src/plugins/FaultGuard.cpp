#include "plugins/FaultGuard.h"

#include "core/Log.h"

#include <array>
#include <csetjmp>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <sys/mman.h>

namespace corvane::plugins {

namespace {

constexpr std::array<int, 4> kFaultSignals{SIGSEGV, SIGBUS, SIGFPE, SIGILL};

std::array<struct sigaction, kFaultSignals.size()> g_previous{};
bool g_installed = false;

// The jump buffer of the guarded call running on this thread; null when none is.
thread_local sigjmp_buf* t_armed = nullptr;
thread_local bool t_alternateStack = false;

struct sigaction* previousFor(int signal) {
    for (std::size_t i = 0; i < kFaultSignals.size(); ++i)
        if (kFaultSignals[i] == signal)
            return &g_previous[i];
    return nullptr;
}

void onFault(int signal, siginfo_t* info, void* context) {
    if (sigjmp_buf* armed = t_armed) {
        t_armed = nullptr;
        siglongjmp(*armed, signal);
    }
    // Not ours: hand the fault to whoever had it before us.
    struct sigaction* previous = previousFor(signal);
    if (previous && (previous->sa_flags & SA_SIGINFO) && previous->sa_sigaction) {
        previous->sa_sigaction(signal, info, context);
        return;
    }
    if (previous && previous->sa_handler != SIG_DFL && previous->sa_handler != SIG_IGN &&
        previous->sa_handler != nullptr) {
        previous->sa_handler(signal);
        return;
    }
    // Default disposition: put it back; a real fault happens again on return and ends the process
    // with a core dump, a sent signal is sent again.
    ::signal(signal, SIG_DFL);
    if (info && info->si_code <= 0)
        ::raise(signal);
}

// A fault from a stack overflow cannot run its handler on the overflowed stack.
void ensureAlternateStack() {
    if (t_alternateStack)
        return;
    t_alternateStack = true;
    stack_t current{};
    if (::sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE))
        return; // the thread has one already (sanitizers install their own)
    constexpr std::size_t kSize = 64 * 1024;
    // Kept for the life of the thread; one per thread that makes guarded calls (normally one).
    void* memory = ::mmap(nullptr, kSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return;
    stack_t stack{};
    stack.ss_sp = memory;
    stack.ss_size = kSize;
    if (::sigaltstack(&stack, nullptr) != 0)
        ::munmap(memory, kSize);
}

void install() {
    struct sigaction action {};
    action.sa_sigaction = onFault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    g_installed = true;
    for (std::size_t i = 0; i < kFaultSignals.size(); ++i)
        if (::sigaction(kFaultSignals[i], &action, &g_previous[i]) != 0)
            g_installed = false;
    if (!g_installed)
        corvane::logger("plugins").error(
            "the fault guard could not be installed; a crashing plug-in ends the program");
}

// Kept apart from the jump so that nothing with a destructor lives in the frame sigsetjmp returns to.
int callArmed(void (*function)(void*), void* argument) {
    sigjmp_buf buffer;
    sigjmp_buf* volatile outer = t_armed;
    // The saved signal mask is restored by the jump, so the fault signal is not left blocked.
    if (const int signal = sigsetjmp(buffer, 1); signal != 0) {
        t_armed = outer;
        return signal;
    }
    t_armed = &buffer;
    function(argument);
    t_armed = outer;
    return 0;
}

} // namespace

KVUnguardedScope::KVUnguardedScope() : m_saved(t_armed) {
    t_armed = nullptr;
}

KVUnguardedScope::~KVUnguardedScope() {
    t_armed = static_cast<sigjmp_buf*>(m_saved);
}

bool faultGuardInstalled() {
    static std::once_flag once;
    std::call_once(once, install);
    return g_installed;
}

int runContained(void (*function)(void*), void* argument) {
    if (!faultGuardInstalled()) {
        function(argument);
        return 0;
    }
    ensureAlternateStack();
    return callArmed(function, argument);
}

} // namespace corvane::plugins
