/* A view plug-in for the editor benchmarks: redraws its key every 100 ms from a thread of its own, as a
 * busy live plug-in (a meter, a clock with tenths) would. */
#include <corvane/plugin.h>
#include <pthread.h>
#include <stdatomic.h>
#include <stdlib.h>
#include <time.h>

CORVANE_PLUGIN_DEFINE_ABI_VERSION;

typedef struct Pulse {
    IKVPluginObject object; /* first, so the configurator's pointer is the object's */
    IKVViewPluginContext* context;
    KVPluginCanvas* canvas;
    pthread_t thread;
    int started;
    atomic_int stopping;
    unsigned beat;
} Pulse;

static void draw(Pulse* pulse) {
    const uint32_t shade = (pulse->beat * 37u) & 0xffu;
    const uint32_t colour = 0xff000000u | shade << 16 | ((255u - shade) << 8) | 0x40u;
    for (int32_t y = 0; y < pulse->canvas->height; ++y) {
        uint32_t* row = (uint32_t*)((char*)pulse->canvas->pixels + (size_t)y * (size_t)pulse->canvas->stride);
        for (int32_t x = 0; x < pulse->canvas->width; ++x)
            row[x] = colour;
    }
    ++pulse->beat;
    pulse->context->vtbl->Update(pulse->context);
}

static void* run(void* argument) {
    Pulse* pulse = argument;
    const struct timespec period = {0, 100L * 1000L * 1000L};
    while (!atomic_load(&pulse->stopping)) {
        draw(pulse);
        nanosleep(&period, NULL);
    }
    return NULL;
}

static IKVPluginPanel* getPanel(IKVPluginObject* self) {
    (void)self;
    return NULL;
}

static void destroy(IKVPluginObject* self) {
    Pulse* pulse = (Pulse*)self;
    atomic_store(&pulse->stopping, 1);
    if (pulse->started)
        pthread_join(pulse->thread, NULL);
    pulse->context->vtbl->Release(pulse->context);
    free(pulse);
}

static void start(IKVPluginObject* self) {
    Pulse* pulse = (Pulse*)self;
    if (pulse->started)
        return;
    pulse->canvas = pulse->context->vtbl->GetCanvas(pulse->context);
    if (pulse->canvas == NULL)
        return;
    pulse->started = pthread_create(&pulse->thread, NULL, run, pulse) == 0;
}

static void stop(IKVPluginObject* self) {
    (void)self;
}

static const IKVPluginObjectVtbl pulseTable = {getPanel, destroy, start, stop};

CORVANE_PLUGIN_EXPORT IKVPluginObject* createView(const char* subPluginId, IKVViewPluginContext* context) {
    (void)subPluginId;
    if (context == NULL)
        return NULL;
    Pulse* pulse = calloc(1, sizeof *pulse);
    if (pulse == NULL)
        return NULL;
    pulse->object.vtbl = &pulseTable;
    pulse->context = context;
    atomic_init(&pulse->stopping, 0);
    return &pulse->object;
}
