#pragma once

#include "base/core/NamedPipe.h"
#include "base/core/SmartPtr.h"
#include "plugin/PluginHostProxyHandler.h"
#include "plugin/RemoteAudioThread.h"

#include <memory>
#include <vector>

namespace plugin {

class RemotePluginHostProxyHandlerThread;

// Binds a host to its client over the control pipes: the one sender of replies, errors and
// notifications (always on the main thread, so the outputs need no lock), the owner of the request
// reader and of the audio threads.
class RemotePluginHostProxyHandler final : public PluginHostProxyHandler {
public:
    // Blocks until the client has opened "main" and "async-replies".
    RemotePluginHostProxyHandler(PluginHost* host, int hostId, int audioThreadCount);
    ~RemotePluginHostProxyHandler() override;

    // Starts the request reader and the audio threads. Called once the owner holds the handler: the
    // requests that the reader makes hold it too, and one released early would release the handler.
    void start();

    void sendReply(PluginHostRequest* request, PluginHostReply* reply) override;
    void sendVoidReply(PluginHostRequest* request) override;
    void sendErrorMessage(PluginHostRequest* request, const base::core::String& message) override;
    void sendNotification(PluginHostNotification* notification) override;
    // Stops the host, joins every thread, closes every plug-in, removes every shared block, closes every
    // pipe and ends the process with status 0.
    [[noreturn]] void shutdown() override;
    void initializePluginInstance(PluginInstance* instance) override;

    int getHostId() const { return hostId; }

private:
    base::core::OutputStream* beginAnswer(PluginHostRequest* request);

    int hostId;
    int audioThreadCount;
    base::core::SmartPtr<base::core::NamedPipe> mainPipe;
    base::core::SmartPtr<base::core::NamedPipe> asyncPipe;
    base::core::OutputStream* mainOutput;
    base::core::OutputStream* asyncOutput;
    std::vector<base::core::SmartPtr<RemoteAudioThread>> audioThreads;
    std::unique_ptr<RemotePluginHostProxyHandlerThread> handlerThread;
};

} // namespace plugin
