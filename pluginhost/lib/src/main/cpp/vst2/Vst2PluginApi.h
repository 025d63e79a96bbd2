#pragma once

#include "plugin/PluginApi.h"

namespace plugin {

// The VST 2.4 format: loads modules as Vst2Plugin. Stateless; the process installs one instance as
// VST2_PLUGIN_API_INSTANCE.
class Vst2PluginApi : public PluginApi {
public:
    base::core::String getName() override;
    // Never throws: a module that cannot be loaded gives a Vst2Plugin that reports it was not loaded.
    base::core::SmartPtr<Plugin> loadPlugin(PluginHost* host, const base::core::String& path) override;
};

} // namespace plugin
