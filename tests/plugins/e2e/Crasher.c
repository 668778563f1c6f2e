/* A view that crashes when it is started. */
#include <corvane/plugin.h>

#include <stdlib.h>
#include <sys/mman.h>

CORVANE_PLUGIN_DEFINE_ABI_VERSION;

static IKVPluginPanel* noPanel(IKVPluginObject* self) {
    (void)self;
    return NULL;
}
static void destroy(IKVPluginObject* self) {
    free(self);
}
static void start(IKVPluginObject* self) {
    (void)self;
    volatile int* page = (volatile int*)mmap(NULL, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    *page = 1;
}
static void stop(IKVPluginObject* self) {
    (void)self;
}
static const IKVPluginObjectVtbl kTable = {noPanel, destroy, start, stop};

CORVANE_PLUGIN_EXPORT IKVPluginObject* createView(const char* subPluginId, IKVViewPluginContext* context) {
    (void)subPluginId;
    (void)context;
    IKVPluginObject* object = (IKVPluginObject*)malloc(sizeof(IKVPluginObject));
    object->vtbl = &kTable;
    return object;
}
