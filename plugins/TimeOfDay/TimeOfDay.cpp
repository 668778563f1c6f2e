// TimeOfDay: a condition that holds between two times of day.
#include "../common/PluginObject.h"
#include "../common/Ticker.h"
#include "TimeOfDayRange.h"

#include <algorithm>
#include <cstring>
#include <ctime>

using namespace corvane_plugins;

CORVANE_PLUGIN_DEFINE_ABI_VERSION;

namespace {

int secondsSinceMidnight() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_hour * 3600 + local.tm_min * 60 + std::min(local.tm_sec, 59);
}

std::optional<int> timeProperty(IKVConditionPluginContext* context, const char* key) {
    std::string text = property(context, key);
    std::optional<int> time = parseTimeOfDay(text);
    if (!time)
        logError("TimeOfDay", "\"%s\" is \"%s\", not a time of day such as 08:30 or 17:45:30", key,
                 text.c_str());
    return time;
}

class BetweenCondition final : public PluginObject {
public:
    explicit BetweenCondition(IKVConditionPluginContext* context)
        : context_(context), from_(timeProperty(context, "From")), to_(timeProperty(context, "To")) {
        // An unreadable range never holds; the stored values stay for the user to mend.
        report(holds());
        if (from_ && to_)
            ticker_.start(nextCheck(), [this] {
                report(holds());
                return nextCheck();
            });
    }

protected:
    const char* pluginName() const override { return "TimeOfDay"; }
    void halt() override { ticker_.stop(); }

private:
    bool holds() const { return from_ && to_ && isBetween(secondsSinceMidnight(), *from_, *to_); }

    void report(bool state) {
        if (reported_ && *reported_ == state)
            return;
        reported_ = state;
        context_->vtbl->SetState(context_, state ? 1 : 0);
    }

    // Wakes at the next boundary, and at least each minute so a changed clock or time zone is
    // noticed soon.
    Ticker::Delay nextCheck() const {
        int now = secondsSinceMidnight();
        int wait = std::min({secondsUntil(now, *from_), secondsUntil(now, *to_), 60});
        // `now` is in whole seconds: wake just after the clock turns to the boundary's second.
        return std::chrono::seconds(wait - 1) + untilNextWhole(std::chrono::seconds(1));
    }

    IKVConditionPluginContext* context_;
    std::optional<int> from_;
    std::optional<int> to_;
    std::optional<bool> reported_;
    Ticker ticker_;
};

} // namespace

extern "C" CORVANE_PLUGIN_EXPORT IKVPluginObject* createCondition(const char* subPluginId,
                                                                  IKVConditionPluginContext* context) {
    if (subPluginId != nullptr && std::strcmp(subPluginId, "Between") == 0)
        return makeObject<BetweenCondition>("TimeOfDay", context);
    return nullptr;
}
