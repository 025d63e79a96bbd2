#pragma once

#include "base/core/InputStream.h"
#include "base/core/Mutex.h"
#include "base/core/OutputStream.h"
#include "base/core/SmartPtr.h"
#include "client/PluginHostProxy.h"

#include <atomic>
#include <unordered_map>
#include <vector>

namespace plugin {

class AudioThreadProxy;
class PluginHostNotificationListener;
class RemotePluginHostProxyAsyncReplyThread;
class RemotePluginHostProxyManager;

// A proxy over the pipes of a host process: the table of outstanding asynchronous requests, the
// listeners of each instance, the async reply thread, and one orderly "host died" event.
class RemotePluginHostProxy : public PluginHostProxy {
public:
    RemotePluginHostProxy(RemotePluginHostProxyManager* manager, int hostId, int blockSize);
    ~RemotePluginHostProxy() override;

    // Takes the connected streams; then startAsyncReplyThread and setShutdownOnRelease complete the
    // connection.
    void setStreams(const base::core::SmartPtr<base::core::InputStream>& mainInput,
                    const base::core::SmartPtr<base::core::OutputStream>& mainOutput,
                    const base::core::SmartPtr<base::core::InputStream>& asyncInput);
    void startAsyncReplyThread();
    void addAudioThread(const base::core::SmartPtr<AudioThreadProxy>& audioThread);
    void setShutdownOnRelease(bool value) { shutdownOnRelease = value; }
    // Whatever must live as long as the connection (the host process, the FIFO files).
    void setConnection(base::core::Object* owner) { connection = owner; }

    void cancelAsyncReplies(int instanceId) override;
    void shutdown() override;
    base::core::SmartPtr<PluginHostReply> sendRequest(PluginHostRequest* request,
                                                      PluginHostAsyncReplyHandler* handler) override;
    bool beforeDestruction() override;

    // Reports the host's death once, whichever thread notices it first.
    void pluginHostDied(const base::core::String& message, bool onMainThread);
    bool hasDied() const { return died.load() != 0; }

    int getHostId() const { return hostId; }
    int getBlockSize() const { return blockSize; }
    RemotePluginHostProxyManager* getManager() const { return manager.get(); }
    // The audio channel of the calling client thread, as the manager maps it.
    AudioThreadProxy* getAudioThreadForCurrentThread() const;

private:
    friend class RemotePluginHostProxyAsyncReplyThread;
    // The reply thread's loop; returns when the host has died or the proxy shut down.
    void readAsyncReplies();
    void handleAsyncAnswer(int32_t requestId);
    void closeStreams();

    base::core::SmartPtr<RemotePluginHostProxyManager> manager;
    int hostId;
    int blockSize;
    std::atomic<int32_t> died{0};
    bool shutdownOnRelease = false;
    base::core::SmartPtr<base::core::InputStream> mainInput;
    base::core::SmartPtr<base::core::OutputStream> mainOutput;
    base::core::SmartPtr<base::core::InputStream> asyncInput;
    int32_t nextRequestId = 1;
    base::core::Mutex pendingRequestsMutex;
    std::unordered_map<int32_t, base::core::SmartPtr<PluginHostRequest>> pendingRequests;
    base::core::Mutex listenersMutex;
    std::unordered_map<int32_t, base::core::SmartPtr<PluginHostNotificationListener>> listeners;
    base::core::SmartPtr<RemotePluginHostProxyAsyncReplyThread> asyncReplyThread;
    std::vector<base::core::SmartPtr<AudioThreadProxy>> audioThreads;
    base::core::SmartPtr<base::core::Object> connection;
};

} // namespace plugin
