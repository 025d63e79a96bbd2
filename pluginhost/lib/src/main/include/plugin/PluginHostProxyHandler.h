#pragma once

#include "base/core/Object.h"
#include "base/core/SmartPtr.h"
#include "base/core/String.h"
#include "plugin/PluginHostMessageRunner.h"

#include <memory>

namespace plugin {

class PluginHost;
class PluginHostNotification;
class PluginHostReply;
class PluginHostRequest;
class PluginInstance;

// Host side: the host's sender of answers and notifications, and the one that gives instances their
// audio context. Declared with the protocol because requests and notifications carry it (a client's
// proxy passes none); implemented in the host library. Main thread only.
class PluginHostProxyHandler : public base::core::Object {
public:
    // Makes the host's message runner too.
    explicit PluginHostProxyHandler(PluginHost* host);

    virtual void sendReply(PluginHostRequest* request, PluginHostReply* reply) = 0;
    virtual void sendVoidReply(PluginHostRequest* request) = 0;
    virtual void sendErrorMessage(PluginHostRequest* request, const base::core::String& message) = 0;
    virtual void sendNotification(PluginHostNotification* notification) = 0;
    virtual void shutdown() = 0;
    virtual void initializePluginInstance(PluginInstance* instance) = 0;

    PluginHost* getHost() const { return host.get(); }
    PluginHostMessageRunner* getMessageRunner() const { return messageRunner.get(); }

protected:
    base::core::SmartPtr<PluginHost> host;

private:
    // Data, not a virtual of this class: the handler's type information must not pull host code into
    // what the client links.
    std::unique_ptr<PluginHostMessageRunner> messageRunner;
};

} // namespace plugin
