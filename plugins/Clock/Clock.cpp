// Clock: the time of day on a key, in the user's strftime format.
#include "../common/TickingView.h"

#include <cstring>
#include <ctime>

using namespace corvane_plugins;

CORVANE_PLUGIN_DEFINE_ABI_VERSION;

namespace {

constexpr const char* defaultFormat = "%H:%M";

// Conversions that show seconds (or a running count of them) need a tick every second.
bool showsSeconds(const std::string& format) {
    for (size_t i = 0; i + 1 < format.size(); ++i) {
        if (format[i] != '%')
            continue;
        char conversion = format[++i];
        if (conversion == 'E' || conversion == 'O') // modifiers: the conversion follows
            conversion = i + 1 < format.size() ? format[++i] : '\0';
        if (std::strchr("STrXcs+", conversion) != nullptr)
            return true;
    }
    return false;
}

std::string formatNow(const std::string& format) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[256];
    // A result that does not fit (or is empty by design) shows as a blank key, not as garbage.
    size_t length = std::strftime(text, sizeof text, format.c_str(), &local);
    return std::string(text, length);
}

class TimeView final : public TickingView {
public:
    explicit TimeView(IKVViewPluginContext* context)
        : TickingView(context), format_(property(context, "Format", defaultFormat)),
          period_(showsSeconds(format_) ? 1 : 60) {
        if (format_.empty())
            format_ = defaultFormat;
    }

protected:
    const char* pluginName() const override { return "Clock"; }
    Ticker::Delay nextDelay() override { return untilNextWhole(period_); }
    void draw(KeyPainter& painter) override {
        painter.fill({0, 0, 0});
        painter.text(formatNow(format_), 1, 1, painter.width() - 2, painter.height() - 2, {1, 1, 1}, 22);
    }

private:
    std::string format_;
    std::chrono::seconds period_;
};

} // namespace

extern "C" CORVANE_PLUGIN_EXPORT IKVPluginObject* createView(const char* subPluginId,
                                                             IKVViewPluginContext* context) {
    if (subPluginId != nullptr && std::strcmp(subPluginId, "Time") == 0)
        return makeObject<TimeView>("Clock", context);
    return nullptr;
}
