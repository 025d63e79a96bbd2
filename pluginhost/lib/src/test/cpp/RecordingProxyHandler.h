#pragma once

#include "base/core/SmartPtr.h"
#include "base/core/StdStringOutputStream.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginHostNotifications.h"
#include "plugin/PluginHostProxyHandler.h"
#include "plugin/PluginHostReplies.h"
#include "plugin/PluginHostRequests.h"
#include "plugin/PluginInstance.h"

#include <functional>
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
        base::core::OutputStream* out = beginAnswer(request);
        out->writeBool(true);
        reply->write(out);
        out->flush();
    }
    void sendVoidReply(PluginHostRequest* request) override {
        base::core::OutputStream* out = beginAnswer(request);
        out->writeBool(true);
        out->flush();
    }
    void sendErrorMessage(PluginHostRequest* request, const base::core::String& message) override {
        base::core::OutputStream* out = beginAnswer(request);
        out->writeBool(false);
        out->writeBinaryString(message);
        out->flush();
    }
    void sendNotification(PluginHostNotification* notification) override {
        asyncOut->writeInt32Native(0);
        notification->write(asyncOut.get());
        asyncOut->flush();
    }
    void shutdown() override { ++shutdownCount; }
    void initializePluginInstance(PluginInstance* instance) override {
        initializedInstances.push_back(instance);
        initializedWhileSettingUp = instance->isSettingUp();
        if (onInitialize)
            onInitialize(instance);
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
    std::function<void(PluginInstance*)> onInitialize;

private:
    base::core::OutputStream* beginAnswer(PluginHostRequest* request) {
        if (!request->isAsync())
            return mainOut.get();
        asyncOut->writeInt32Native(request->getRequestId());
        return asyncOut.get();
    }

    base::core::SmartPtr<base::core::StdStringOutputStream> mainOut;
    base::core::SmartPtr<base::core::StdStringOutputStream> asyncOut;
};

} // namespace plugin::test
