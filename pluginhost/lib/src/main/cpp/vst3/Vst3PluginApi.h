#pragma once

#include "plugin/PluginApi.h"

namespace plugin {

// Host side. The VST 3 format: loads ".vst3" bundles as Vst3Plugin. Stateless; the process installs one
// instance as VST3_PLUGIN_API_INSTANCE. Called on the main thread.
class Vst3PluginApi : public PluginApi {
public:
    base::core::String getName() override;
    // Never throws: a bundle that cannot be loaded gives a Vst3Plugin that reports it was not loaded.
    base::core::SmartPtr<Plugin> loadPlugin(PluginHost* host, const base::core::String& path) override;
};

} // namespace plugin
