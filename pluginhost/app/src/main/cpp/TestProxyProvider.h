#pragma once

#include "base/core/SmartPtr.h"
#include "client/PluginHostProxy.h"

namespace plugin {

// Where the test harness gets the host for each plug-in it tests. Called on the testing thread only.
class TestProxyProvider {
public:
    virtual ~TestProxyProvider() = default;
    // Raises a base::core::Exception when no host can be had.
    virtual base::core::SmartPtr<PluginHostProxy> getProxy() = 0;
};

} // namespace plugin
