// SystemMonitor: CPU load and memory use on a key, as a graph of the last seconds or as a bar.
#include "../common/TickingView.h"
#include "ProcStats.h"

#include <cstdio>
#include <cstring>
#include <deque>

using namespace corvane_plugins;

CORVANE_PLUGIN_DEFINE_ABI_VERSION;

namespace {

constexpr int barWidth = 2; // a graph column per second, so a key shows the last 24 seconds
constexpr int labelHeight = 16;

class MonitorView : public TickingView {
public:
    MonitorView(IKVViewPluginContext* context, const char* label, Colour colour, const char* defaultStyle)
        : TickingView(context), label_(label), colour_(colour),
          graph_(property(context, "Style", defaultStyle) != "bar") {}

protected:
    // The current value, 0 to 1, or nothing when it cannot be read.
    virtual std::optional<double> sample() = 0;

    const char* pluginName() const override { return "SystemMonitor"; }
    Ticker::Delay nextDelay() override { return std::chrono::seconds(1); }

    void draw(KeyPainter& painter) override {
        std::optional<double> value = sample();
        if (value) {
            history_.push_back(*value);
            if (int(history_.size()) > painter.width() / barWidth)
                history_.pop_front();
        }
        painter.fill({0.08, 0.08, 0.1});
        char text[32];
        if (value)
            std::snprintf(text, sizeof text, "%s %d%%", label_, int(*value * 100 + 0.5));
        else
            std::snprintf(text, sizeof text, "%s ?", label_);
        painter.text(text, 1, 0, painter.width() - 2, labelHeight, {1, 1, 1}, 12);

        double area = painter.height() - labelHeight - 2;
        double bottom = painter.height() - 1;
        if (graph_) {
            double x = painter.width() - barWidth * double(history_.size());
            for (double v : history_) {
                painter.rectangle(x, bottom - v * area, barWidth, v * area, colour_);
                x += barWidth;
            }
        } else if (value) {
            painter.rectangle(2, bottom - area, painter.width() - 4, area, {0.25, 0.25, 0.28});
            painter.rectangle(2, bottom - *value * area, painter.width() - 4, *value * area, colour_);
        }
    }

private:
    const char* label_;
    Colour colour_;
    bool graph_;
    std::deque<double> history_;
};

class CpuView final : public MonitorView {
public:
    explicit CpuView(IKVViewPluginContext* context)
        : MonitorView(context, "CPU", {0.3, 0.85, 0.3}, "graph") {}

protected:
    std::optional<double> sample() override {
        std::optional<CpuTimes> now = parseCpuTimes(readWholeFile("/proc/stat"));
        if (!now)
            return std::nullopt;
        // The first reading has nothing to compare with; it shows as idle for one second.
        double load = previous_ ? cpuLoad(*previous_, *now) : 0;
        previous_ = now;
        return load;
    }

private:
    std::optional<CpuTimes> previous_;
};

class MemoryView final : public MonitorView {
public:
    explicit MemoryView(IKVViewPluginContext* context) : MonitorView(context, "MEM", {0.35, 0.6, 1}, "bar") {}

protected:
    std::optional<double> sample() override { return parseMemoryUse(readWholeFile("/proc/meminfo")); }
};

} // namespace

extern "C" CORVANE_PLUGIN_EXPORT IKVPluginObject* createView(const char* subPluginId,
                                                             IKVViewPluginContext* context) {
    if (subPluginId == nullptr)
        return nullptr;
    if (std::strcmp(subPluginId, "CPU") == 0)
        return makeObject<CpuView>("SystemMonitor", context);
    if (std::strcmp(subPluginId, "Memory") == 0)
        return makeObject<MemoryView>("SystemMonitor", context);
    return nullptr;
}
