#include "vst2/Vst2PluginApi.h"

#include "vst2/Vst2Plugin.h"

namespace plugin {

using base::core::SmartPtr;
using base::core::String;

String Vst2PluginApi::getName() {
    return "VST 2.4";
}

SmartPtr<Plugin> Vst2PluginApi::loadPlugin(PluginHost* host, const String& path) {
    SmartPtr<Vst2Plugin> plugin(new Vst2Plugin(path, host));
    plugin->load();
    return plugin;
}

} // namespace plugin
