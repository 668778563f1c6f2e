/* The processor load of the last seconds as a moving graph, the latest sample at the right. */
#include "Common.h"

#include <stdio.h>
#include <string.h>

CORVANE_PLUGIN_DEFINE_ABI_VERSION;

static unsigned long long g_lastBusy, g_lastTotal;
static int g_history[CORVANE_KEY_SIZE];

static int sampleLoad(void) {
    unsigned long long user, nice, system, idle, iowait, irq, softirq, steal;
    FILE* file = fopen("/proc/stat", "r");
    if (!file)
        return 0;
    int read = fscanf(file, "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &user, &nice, &system, &idle, &iowait,
                      &irq, &softirq, &steal);
    fclose(file);
    if (read != 8)
        return 0;
    const unsigned long long busy = user + nice + system + irq + softirq + steal;
    const unsigned long long total = busy + idle + iowait;
    int load = 0;
    if (total > g_lastTotal)
        load = (int)((busy - g_lastBusy) * 100 / (total - g_lastTotal));
    g_lastBusy = busy;
    g_lastTotal = total;
    return load;
}

static void draw(Ticker* ticker, KVPluginCanvas* canvas) {
    (void)ticker;
    memmove(g_history, g_history + 1, sizeof g_history - sizeof g_history[0]);
    g_history[CORVANE_KEY_SIZE - 1] = sampleLoad();
    fillRect(canvas, 0, 0, canvas->width, canvas->height, 0xFF202020u);
    for (int x = 0; x < CORVANE_KEY_SIZE; ++x) {
        const int height = g_history[x] * CORVANE_KEY_SIZE / 100;
        fillRect(canvas, x, CORVANE_KEY_SIZE - height, 1, height, 0xFF00E040u);
    }
}

CORVANE_PLUGIN_EXPORT IKVPluginObject* createView(const char* subPluginId, IKVViewPluginContext* context) {
    (void)subPluginId;
    return newTicker(context);
}
