#include "TestRemotePluginHostProxyManager.h"

#include "base/core/OutputStream.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"

namespace plugin {

const base::core::SmartPtr<TestRemotePluginHostProxyManager>
    TEST_PROXY_MANAGER(new TestRemotePluginHostProxyManager());

void TestRemotePluginHostProxyManager::remotePluginHostDied(RemotePluginHostProxy*,
                                                            const base::core::String& message,
                                                            bool onMainThread) {
    base::core::OutputStream* err = base::core::getError();
    err->writeLine(base::core::StringBuilder() + "Remote plugin process died " +
                   (onMainThread ? "on main thread" : "on a different thread to the main thread") + ": " +
                   message);
    err->flush();
}

} // namespace plugin
