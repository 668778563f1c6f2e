/* What the end-to-end test plug-ins share: an object with a context, and a drawing thread. */
#include <corvane/plugin.h>
#include <pthread.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

typedef struct Ticker {
    IKVPluginObject base;
    IKVViewPluginContext* context;
    KVPluginCanvas* canvas;
    pthread_t thread;
    pthread_mutex_t mutex;
    pthread_cond_t wake;
    int running;
    int started;
} Ticker;

static void fillRect(KVPluginCanvas* canvas, int x, int y, int w, int h, uint32_t colour) {
    for (int row = y; row < y + h && row < canvas->height; ++row)
        for (int column = x; column < x + w && column < canvas->width; ++column)
            canvas->pixels[row * (canvas->stride / 4) + column] = colour;
}

/* Draws once; defined by each plug-in. */
static void draw(Ticker* ticker, KVPluginCanvas* canvas);

static void* tick(void* argument) {
    Ticker* ticker = (Ticker*)argument;
    pthread_mutex_lock(&ticker->mutex);
    while (ticker->running) {
        draw(ticker, ticker->canvas);
        /* The one context operation, with SetState, that may come from a thread of our own. */
        ticker->context->vtbl->Update(ticker->context);
        struct timespec until;
        clock_gettime(CLOCK_REALTIME, &until);
        until.tv_nsec += 500 * 1000 * 1000;
        if (until.tv_nsec >= 1000000000) {
            until.tv_nsec -= 1000000000;
            until.tv_sec += 1;
        }
        pthread_cond_timedwait(&ticker->wake, &ticker->mutex, &until);
    }
    pthread_mutex_unlock(&ticker->mutex);
    return NULL;
}

static void tickerStart(IKVPluginObject* self) {
    Ticker* ticker = (Ticker*)self;
    if (ticker->started)
        return;
    /* The canvas stays where it is until the object is destroyed. */
    ticker->canvas = ticker->context->vtbl->GetCanvas(ticker->context);
    if (!ticker->canvas)
        return;
    ticker->started = 1;
    ticker->running = 1;
    pthread_create(&ticker->thread, NULL, tick, ticker);
}

static void tickerStop(IKVPluginObject* self) {
    (void)self;
}

static IKVPluginPanel* noPanel(IKVPluginObject* self) {
    (void)self;
    return NULL;
}

/* The thread is stopped before the object goes, and the context is released. */
static void tickerDestroy(IKVPluginObject* self) {
    Ticker* ticker = (Ticker*)self;
    if (ticker->started) {
        pthread_mutex_lock(&ticker->mutex);
        ticker->running = 0;
        pthread_cond_signal(&ticker->wake);
        pthread_mutex_unlock(&ticker->mutex);
        pthread_join(ticker->thread, NULL);
    }
    ticker->context->vtbl->Release(ticker->context);
    pthread_mutex_destroy(&ticker->mutex);
    pthread_cond_destroy(&ticker->wake);
    free(ticker);
}

static const IKVPluginObjectVtbl kTickerTable = {noPanel, tickerDestroy, tickerStart, tickerStop};

static IKVPluginObject* newTicker(IKVViewPluginContext* context) {
    Ticker* ticker = (Ticker*)calloc(1, sizeof(Ticker));
    ticker->base.vtbl = &kTickerTable;
    ticker->context = context;
    pthread_mutex_init(&ticker->mutex, NULL);
    pthread_cond_init(&ticker->wake, NULL);
    return &ticker->base;
}
