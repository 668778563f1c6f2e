// Timer: a countdown on a key (the Countdown view) that a key press starts and stops (the StartStop
// action, paired with the view on the same key).
#include "../common/TickingView.h"
#include "Countdown.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

using namespace corvane_plugins;

CORVANE_PLUGIN_DEFINE_ABI_VERSION;

namespace {

constexpr long defaultSeconds = 300;
constexpr long longestSeconds = 100L * 3600 - 1; // keeps the display to at most four digits of minutes

std::chrono::seconds lengthProperty(IKVViewPluginContext* context) {
    std::string text = property(context, "Seconds");
    if (text.empty())
        return std::chrono::seconds(defaultSeconds);
    char* end = nullptr;
    long seconds = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || seconds <= 0 || seconds > longestSeconds) {
        logError("Timer", "\"Seconds\" is \"%s\", not a number of seconds from 1 to %ld; using %ld",
                 text.c_str(), longestSeconds, defaultSeconds);
        return std::chrono::seconds(defaultSeconds);
    }
    return std::chrono::seconds(seconds);
}

class CountdownView final : public TickingView {
public:
    explicit CountdownView(IKVViewPluginContext* context)
        : TickingView(context), countdown_(lengthProperty(context)) {}

    void toggle() {
        {
            std::lock_guard lock(mutex_);
            countdown_.toggle(Countdown::Clock::now());
        }
        wake();
    }

protected:
    const char* pluginName() const override { return "Timer"; }

    Ticker::Delay nextDelay() override {
        std::lock_guard lock(mutex_);
        auto delay = countdown_.untilChange(Countdown::Clock::now());
        return std::chrono::ceil<Ticker::Delay>(delay) + std::chrono::milliseconds(2);
    }

    void draw(KeyPainter& painter) override {
        auto now = Countdown::Clock::now();
        std::unique_lock lock(mutex_);
        long left = countdown_.secondsLeft(now);
        bool running = countdown_.running(now);
        bool flashing = countdown_.flashing(now);
        bool phaseOn = countdown_.flashPhaseOn(now);
        lock.unlock();

        Colour background{0, 0, 0}, text{0.6, 0.6, 0.6}; // stopped
        if (running)
            background = {0, 0.3, 0}, text = {1, 1, 1};
        else if (flashing)
            background = phaseOn ? Colour{0.9, 0, 0} : Colour{1, 1, 1},
            text = phaseOn ? Colour{1, 1, 1} : Colour{0.9, 0, 0};
        char digits[48];
        std::snprintf(digits, sizeof digits, "%02ld:%02ld", left / 60, left % 60);
        painter.fill(background);
        painter.text(digits, 1, 1, painter.width() - 2, painter.height() - 2, text, 18);
    }

private:
    std::mutex mutex_;
    Countdown countdown_;
};

class StartStopAction final : public PluginObject {
public:
    explicit StartStopAction(IKVActionPluginContext* context) : context_(context) {}

protected:
    const char* pluginName() const override { return "Timer"; }

    void start() override {
        auto* view = PluginObject::from<CountdownView>(context_->vtbl->GetPairedViewObject(context_));
        if (view == nullptr) {
            logError("Timer", "StartStop has no Countdown view on its key to start");
            return;
        }
        view->toggle();
    }

private:
    IKVActionPluginContext* context_;
};

} // namespace

extern "C" CORVANE_PLUGIN_EXPORT IKVPluginObject* createView(const char* subPluginId,
                                                             IKVViewPluginContext* context) {
    if (subPluginId != nullptr && std::strcmp(subPluginId, "Countdown") == 0)
        return makeObject<CountdownView>("Timer", context);
    return nullptr;
}

extern "C" CORVANE_PLUGIN_EXPORT IKVPluginObject* createAction(const char* subPluginId,
                                                               IKVActionPluginContext* context) {
    if (subPluginId != nullptr && std::strcmp(subPluginId, "StartStop") == 0)
        return makeObject<StartStopAction>("Timer", context);
    return nullptr;
}
