/* The plug-in the registry benchmark installs fifty times. */
#include <corvane/plugin.h>

CORVANE_PLUGIN_DEFINE_ABI_VERSION;

CORVANE_PLUGIN_EXPORT IKVPluginObject* createView(const char* subPluginId, IKVViewPluginContext* context) {
    (void)subPluginId;
    (void)context;
    return 0;
}
