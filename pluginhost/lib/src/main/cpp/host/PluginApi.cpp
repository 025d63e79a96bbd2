#include "plugin/PluginApi.h"

namespace plugin {

PluginApi* VST2_PLUGIN_API_INSTANCE = nullptr;
PluginApi* VST3_PLUGIN_API_INSTANCE = nullptr;

} // namespace plugin
