#pragma once

#include "base/core/SmartPtr.h"
#include "base/core/StdStringOutputStream.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginHostNotifications.h"
#include "plugin/PluginHostProxyHandler.h"
#include "plugin/PluginHostReplies.h"
#include "plugin/PluginHostRequests.h"
#include "plugin/PluginInstance.h"

#include <string>
#include <vector>

namespace plugin::test {

// A sender with the remote handler's byte layout on the async channel, kept in a string: the answers to
// asynchronous requests behind their request id, every notification behind the id 0, and the answer to a
// synchronous request without an id. Shutdown does nothing; the instances handed over are recorded.
class RecordingProxyHandler : public PluginHostProxyHandler {
public:
    explicit RecordingProxyHandler(PluginHost* host)
        : PluginHostProxyHandler(host), out(new base::core::StdStringOutputStream(asyncBytes)) {}
    // The base made this the host's handler; a host that outlives it must not keep pointing here.
    ~RecordingProxyHandler() override {
        if (host->getProxyHandler() == this)
            host->setProxyHandler(nullptr);
    }

    void sendReply(PluginHostRequest* request, PluginHostReply* reply) override {
        reply->write(beginAnswer(request, true));
    }
    void sendVoidReply(PluginHostRequest* request) override { beginAnswer(request, true); }
    void sendErrorMessage(PluginHostRequest* request, const base::core::String& message) override {
        beginAnswer(request, false)->writeBinaryString(message);
    }
    void sendNotification(PluginHostNotification* notification) override {
        out->writeInt32Native(0);
        notification->write(out.get());
    }
    void shutdown() override {}
    void initializePluginInstance(PluginInstance* instance) override {
        initializedInstances.push_back(instance);
        initializedWhileSettingUp = instance->isSettingUp();
    }

    void clear() { asyncBytes.clear(); }

    std::string asyncBytes;
    std::vector<PluginInstance*> initializedInstances;
    bool initializedWhileSettingUp = false;

private:
    // The answer's stream, after the request id (asynchronous only) and the status.
    base::core::OutputStream* beginAnswer(PluginHostRequest* request, bool ok) {
        if (request->isAsync())
            out->writeInt32Native(request->getRequestId());
        out->writeBool(ok);
        return out.get();
    }

    base::core::SmartPtr<base::core::StdStringOutputStream> out;
};

} // namespace plugin::test
