#pragma once

#include "base/core/String.h"
#include "client/RemotePluginHostProxyManager.h"

#include <mutex>

namespace render {

// Client side: the one audio thread of a render is the rendering thread, and the host's death is kept to
// be reported with the failure that revealed it. Called on the rendering and the async reply thread.
class RenderHostManager : public plugin::RemotePluginHostProxyManager {
public:
    void remotePluginHostDied(plugin::RemotePluginHostProxy*, const base::core::String& message,
                              bool) override {
        std::lock_guard<std::mutex> lock(mutex);
        deathMessage = message;
    }
    int getAudioThreadIdForCurrentThread() override { return 0; }

    base::core::String getDeathMessage() {
        std::lock_guard<std::mutex> lock(mutex);
        return deathMessage;
    }

private:
    std::mutex mutex;
    base::core::String deathMessage;
};

} // namespace render
