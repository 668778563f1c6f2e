#pragma once

#include "plugins/CallWatchdog.h"
#include "plugins/FaultGuard.h"
#include "plugins/PluginInfo.h"

#include <exception>
#include <string>
#include <string_view>

namespace corvane::plugins {

// "Start of Clock/Time": how log lines and failure reasons name a call.
std::string describeCall(std::string_view operation, std::string_view pluginId, std::string_view subPluginId);
void logException(const std::string& call, const char* what);
// Disables the plug-in after a fault in `call`.
void reportFault(KVPluginInfo& plugin, const std::string& call, int signal);

namespace detail {

template <class R, class F> struct PendingCall {
    F* call;
    R result;
    std::string exceptionCopy;
    bool threw = false;
};

template <class R, class F> void runPendingCall(void* argument) {
    auto& pending = *static_cast<PendingCall<R, F>*>(argument);
    try {
        pending.result = (*pending.call)();
    } catch (const std::exception& error) {
        pending.threw = true;
        pending.exceptionCopy = error.what();
    } catch (...) {
        pending.threw = true;
        pending.exceptionCopy = "an exception that is not a std::exception";
    }
}

} // namespace detail

// Every call into plug-in code goes through here. `call` returns the plug-in's answer; an exception
// from the plug-in gives `failed`, and a processor fault gives `failed` and disables the plug-in for the
// rest of the run. A plug-in that is not usable is not called at all. Calls that take longer than the
// watchdog's limit are logged by name.
template <class R, class F>
R guardedCall(KVPluginInfo& plugin, std::string_view operation, std::string_view subPluginId, F&& call,
              R failed = R{}) {
    if (!plugin.isUsable())
        return failed;
    std::string name = describeCall(operation, plugin.PluginID(), subPluginId);
    using Call = std::remove_reference_t<F>;
    detail::PendingCall<R, Call> pending{&call, failed, {}, false};
    const uint64_t ticket = KVCallWatchdog::instance().begin(name);
    const int signal = runContained(&detail::runPendingCall<R, Call>, &pending);
    KVCallWatchdog::instance().end(ticket);
    if (signal != 0) {
        reportFault(plugin, name, signal);
        return failed;
    }
    if (pending.threw) {
        logException(name, pending.exceptionCopy.c_str());
        return failed;
    }
    return pending.result;
}

} // namespace corvane::plugins
