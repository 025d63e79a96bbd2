#pragma once

#include "base/core/SmartPtr.h"
#include "client/RemotePluginHostProxyManager.h"

namespace plugin {

// The manager of every host process the test harness starts. Its calls come from whichever thread sees
// a host die first; each only writes a line.
class TestRemotePluginHostProxyManager : public RemotePluginHostProxyManager {
public:
    void remotePluginHostDied(RemotePluginHostProxy* proxy, const base::core::String& message,
                              bool onMainThread) override;
    // The harness drives every host from one audio thread.
    int getAudioThreadIdForCurrentThread() override { return 0; }
};

extern const base::core::SmartPtr<TestRemotePluginHostProxyManager> TEST_PROXY_MANAGER;

} // namespace plugin
