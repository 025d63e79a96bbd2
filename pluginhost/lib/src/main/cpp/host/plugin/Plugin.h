#pragma once

#include "base/core/Object.h"
#include "base/core/SmartPtr.h"
#include "base/core/String.h"

#include <vector>

namespace plugin {

class PluginApi;
class PluginInstance;

// A loaded plug-in module; stays loaded for the life of the host.
class Plugin : public base::core::Object {
public:
    virtual bool wasSuccesfullyLoaded() = 0;
    // A new, unopened instance, or null.
    virtual base::core::SmartPtr<PluginInstance>
    createInstance(int instanceId, const base::core::String& deviceId, bool flag) = 0;
    virtual void listDeviceIds(std::vector<base::core::String>& deviceIds) = 0;
    virtual const base::core::String& getPath() = 0;
    virtual PluginApi* getApi() = 0;
};

} // namespace plugin
