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

// A sender with the remote handler's byte layout whose two channels are strings: "main" gets the
// answers to synchronous requests, "async" the answers to asynchronous ones (behind their request id)
// and every notification (behind the id 0). Shutdown and instance initialisation are only counted.
class RecordingProxyHandler : public PluginHostProxyHandler {
public:
    explicit RecordingProxyHandler(PluginHost* host)
        : PluginHostProxyHandler(host), mainOut(new base::core::StdStringOutputStream(mainBytes)),
          asyncOut(new base::core::StdStringOutputStream(asyncBytes)) {}
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
        asyncOut->writeInt32Native(0);
        notification->write(asyncOut.get());
    }
    void shutdown() override { ++shutdownCount; }
    void initializePluginInstance(PluginInstance* instance) override {
        initializedInstances.push_back(instance);
        initializedWhileSettingUp = instance->isSettingUp();
    }

    void clear() {
        mainBytes.clear();
        asyncBytes.clear();
    }

    std::string mainBytes;
    std::string asyncBytes;
    int shutdownCount = 0;
    std::vector<PluginInstance*> initializedInstances;
    bool initializedWhileSettingUp = false;

private:
    // The answer's channel, after the request id (asynchronous only) and the status.
    base::core::OutputStream* beginAnswer(PluginHostRequest* request, bool ok) {
        if (request->isAsync())
            asyncOut->writeInt32Native(request->getRequestId());
        base::core::OutputStream* out = request->isAsync() ? asyncOut.get() : mainOut.get();
        out->writeBool(ok);
        return out;
    }

    base::core::SmartPtr<base::core::StdStringOutputStream> mainOut;
    base::core::SmartPtr<base::core::StdStringOutputStream> asyncOut;
};

} // namespace plugin::test
