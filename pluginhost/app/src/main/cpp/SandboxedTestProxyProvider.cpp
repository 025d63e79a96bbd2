#include "SandboxedTestProxyProvider.h"

#include "TestRemotePluginHostProxyManager.h"

#include "client/RemotePluginHostLauncher.h"
#include "client/RemotePluginHostProxy.h"

namespace plugin {

int32_t nextPluginHostId = 1;

SandboxedTestProxyProvider::SandboxedTestProxyProvider(const base::core::String& executablePath)
    : executablePath(executablePath) {}

base::core::SmartPtr<PluginHostProxy> SandboxedTestProxyProvider::getProxy() {
    RemotePluginHostLauncher::Settings settings;
    settings.executable = executablePath;
    settings.hostId = nextPluginHostId++;
    settings.sampleRate = 44100;
    settings.blockSize = 256;
    settings.audioThreadCount = 1;
    // The launcher creates the pipes, starts the child, waits for its connections and starts the reply
    // thread; the proxy shuts the host down when released.
    return RemotePluginHostLauncher::connect(settings, TEST_PROXY_MANAGER.get()).get();
}

} // namespace plugin
