#include "LocalTestProxyProvider.h"

#include "plugin/LocalPluginHostProxy.h"
#include "plugin/LocalPluginHostProxyHandler.h"
#include "plugin/LocalPluginHostRunThread.h"
#include "plugin/PluginHost.h"

namespace plugin {

LocalTestProxyProvider::LocalTestProxyProvider() = default;

LocalTestProxyProvider::~LocalTestProxyProvider() {
    // The run thread ends the host's loop and joins; the handler and proxy go after it.
    runThread = nullptr;
}

base::core::SmartPtr<PluginHostProxy> LocalTestProxyProvider::getProxy() {
    if (!proxy) {
        runThread = new LocalPluginHostRunThread(44100, 256);
        PluginHost* host = runThread->startHost();
        proxy = new LocalPluginHostProxy(host);
        handler = new LocalPluginHostProxyHandler(host, proxy.get());
    }
    return proxy.get();
}

} // namespace plugin
