#pragma once

#include "TestProxyProvider.h"

#include "base/core/SmartPtr.h"

namespace plugin {

class LocalPluginHostProxy;
class LocalPluginHostProxyHandler;
class LocalPluginHostRunThread;

// Tests every plug-in in one host inside this process. A plug-in that crashes ends the whole run, and
// one that hangs hangs it: an in-process host has no way to bound a plug-in's call. Testing thread only.
class LocalTestProxyProvider : public TestProxyProvider {
public:
    LocalTestProxyProvider();
    // Ends the in-process host.
    ~LocalTestProxyProvider() override;

    // The same proxy on every call; the host is made on the first.
    base::core::SmartPtr<PluginHostProxy> getProxy() override;

private:
    base::core::SmartPtr<LocalPluginHostRunThread> runThread;
    base::core::SmartPtr<LocalPluginHostProxy> proxy;
    base::core::SmartPtr<LocalPluginHostProxyHandler> handler;
};

} // namespace plugin
