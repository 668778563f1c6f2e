/* A clock face: the hour and minute as bars over a blue ground. */
#include "Common.h"

CORVANE_PLUGIN_DEFINE_ABI_VERSION;

static void draw(Ticker* ticker, KVPluginCanvas* canvas) {
    (void)ticker;
    time_t now = time(NULL);
    struct tm local;
    localtime_r(&now, &local);
    fillRect(canvas, 0, 0, canvas->width, canvas->height, 0xFF103060u);
    fillRect(canvas, 4, 8, 2 + local.tm_hour * 40 / 24, 12, 0xFFFFFFFFu);
    fillRect(canvas, 4, 28, 2 + local.tm_min * 40 / 60, 12, 0xFFFFC000u);
}

CORVANE_PLUGIN_EXPORT IKVPluginObject* createView(const char* subPluginId, IKVViewPluginContext* context) {
    (void)subPluginId;
    return newTicker(context);
}
