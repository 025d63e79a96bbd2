#include "vst3/Vst3PluginApi.h"

#include "vst3/Vst3Plugin.h"

namespace plugin {

using base::core::SmartPtr;
using base::core::String;

String Vst3PluginApi::getName() {
    return "VST 3";
}

SmartPtr<Plugin> Vst3PluginApi::loadPlugin(PluginHost* host, const String& path) {
    SmartPtr<Vst3Plugin> plugin(new Vst3Plugin(path, host));
    plugin->load();
    return plugin;
}

} // namespace plugin
