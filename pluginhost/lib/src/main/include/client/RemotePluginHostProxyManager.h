#pragma once

#include "base/core/Object.h"
#include "base/core/String.h"

namespace plugin {

class RemotePluginHostProxy;

// What a remote proxy needs from its owner: word of the host's death, and which client audio thread
// the caller stands for.
class RemotePluginHostProxyManager : public base::core::Object {
public:
    // Called once per host, with the message that ended it (without the "Plugin host died: " prefix).
    virtual void remotePluginHostDied(RemotePluginHostProxy* proxy, const base::core::String& message,
                                      bool onMainThread) = 0;
    virtual int getAudioThreadIdForCurrentThread() = 0;
};

} // namespace plugin
