#pragma once

#include "base/core/SmartPtr.h"
#include "base/core/String.h"

namespace plugin {

class Plugin;
class PluginHost;

// One plug-in format (VST 2, VST 3).
class PluginApi {
public:
    virtual ~PluginApi() = default;
    virtual base::core::String getName() = 0;
    // Always returns a Plugin; one whose module failed to load reports wasSuccesfullyLoaded() false.
    virtual base::core::SmartPtr<Plugin> loadPlugin(PluginHost* host, const base::core::String& path) = 0;
};

// The formats linked into this process, installed at start-up (installPluginApis); tests may put their
// own format here. A null entry means the format is not available.
extern PluginApi* VST2_PLUGIN_API_INSTANCE;
extern PluginApi* VST3_PLUGIN_API_INSTANCE;

} // namespace plugin
