#pragma once

#include "plugin/PluginHostProxyHandler.h"

namespace plugin {

class LocalPluginHostProxy;

// Binds an in-process host to its LocalPluginHostProxy: answers and notifications are handed over as
// objects, and instances get a LocalPluginAudioContext, which the caller's audio thread drives
// directly. Main thread of the host only, like every handler.
class LocalPluginHostProxyHandler final : public PluginHostProxyHandler {
public:
    // The proxy must outlive the handler; it is linked to the handler here.
    LocalPluginHostProxyHandler(PluginHost* host, LocalPluginHostProxy* proxy);

    void sendReply(PluginHostRequest* request, PluginHostReply* reply) override;
    void sendVoidReply(PluginHostRequest* request) override;
    void sendErrorMessage(PluginHostRequest* request, const base::core::String& message) override;
    void sendNotification(PluginHostNotification* notification) override;
    // Ends the host's main loop.
    void shutdown() override;
    void initializePluginInstance(PluginInstance* instance) override;

private:
    LocalPluginHostProxy* proxy;
};

} // namespace plugin
