/* Holds between the times "From" and "To" (HH:MM, local time; a window may run over midnight). */
#include <corvane/plugin.h>

#include <stdio.h>
#include <stdlib.h>
#include <time.h>

CORVANE_PLUGIN_DEFINE_ABI_VERSION;

static int minutesOf(IKVConditionPluginContext* context, const char* key) {
    char value[CORVANE_PLUGIN_BUFFER_SIZE];
    int hours = 0, minutes = 0;
    if (!context->vtbl->GetProperty(context, key, value) || sscanf(value, "%d:%d", &hours, &minutes) != 2)
        return -1;
    return hours * 60 + minutes;
}

static IKVPluginPanel* noPanel(IKVPluginObject* self) {
    (void)self;
    return NULL;
}
static void destroy(IKVPluginObject* self) {
    free(self);
}
static void nothing(IKVPluginObject* self) {
    (void)self;
}
static const IKVPluginObjectVtbl kTable = {noPanel, destroy, nothing, nothing};

CORVANE_PLUGIN_EXPORT IKVPluginObject* createCondition(const char* subPluginId, IKVConditionPluginContext* context) {
    (void)subPluginId;
    const int from = minutesOf(context, "From");
    const int to = minutesOf(context, "To");
    time_t now = time(NULL);
    struct tm local;
    localtime_r(&now, &local);
    const int minute = local.tm_hour * 60 + local.tm_min;
    int holds = 0;
    if (from >= 0 && to >= 0)
        holds = from <= to ? (minute >= from && minute < to) : (minute >= from || minute < to);
    context->vtbl->SetState(context, holds);
    IKVPluginObject* object = (IKVPluginObject*)malloc(sizeof(IKVPluginObject));
    object->vtbl = &kTable;
    return object;
}
