#pragma once

#include "base/core/IOException.h"
#include "base/core/InputStream.h"
#include "base/core/Mutex.h"
#include "base/core/OutputStream.h"
#include "base/core/SmartPtr.h"
#include "client/PluginHostProxy.h"
#include "client/RemotePluginHostWatchdog.h"

#include <atomic>
#include <functional>
#include <unordered_map>
#include <unordered_set>
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
    // Puts every wait of this proxy under the deadlines; `killHost` ends the host process when one passes.
    void startWatchdog(const RemotePluginHostWatchdog::Deadlines& deadlines, std::function<void()> killHost);

    void cancelAsyncReplies(int instanceId) override;
    void shutdown() override;
    base::core::SmartPtr<PluginHostReply> sendRequest(PluginHostRequest* request,
                                                      PluginHostAsyncReplyHandler* handler) override;
    bool beforeDestruction() override;

    // Reports the host's death once, whichever thread notices it first.
    void pluginHostDied(const base::core::String& message, bool onMainThread);
    bool hasDied() const { return died.load() != 0; }
    // Why the host is being ended, set before the end is seen: the death is then reported with it.
    void setDeathReason(const base::core::String& reason);
    // "Plugin host died: " and the cause, as pending handlers were told; empty unless the host died.
    base::core::String getDeathText();
    // For a caller whose wait on the host failed with `e` (called in its catch block): reports the
    // death and throws what the caller is to see: the deadline's reason when the watchdog ended the
    // host, `e` itself otherwise.
    [[noreturn]] void failWithDeath(const base::core::IOException& e, bool onMainThread);

    int getHostId() const { return hostId; }
    int getBlockSize() const { return blockSize; }
    RemotePluginHostProxyManager* getManager() const { return manager.get(); }
    // The audio channel of the calling client thread, as the manager maps it.
    AudioThreadProxy* getAudioThreadForCurrentThread() const;

private:
    friend class RemotePluginHostProxyAsyncReplyThread;
    friend class RemotePluginHostWatchdog;

    // An asynchronous request waiting for its answer, as the watchdog times it.
    struct AsyncStamp {
        int32_t requestType;
        int32_t instanceId;
        int64_t sentAt;
        uint64_t order;
    };
    // The reply thread's loop; returns when the host has died or the proxy shut down.
    void readAsyncReplies();
    void handleAsyncAnswer(int32_t requestId);
    void closeStreams();
    void removeSharedBlock(int32_t instanceId) const;
    void removeSharedBlocks();
    base::core::String getDeathReason();
    void markAnswered(uint64_t order);

    base::core::SmartPtr<RemotePluginHostProxyManager> manager;
    int hostId;
    int blockSize;
    std::atomic<int32_t> died{0};
    // Set before the Shutdown request goes out; the host's end of the pipes is then expected.
    std::atomic<bool> shuttingDown{false};
    bool shutdownOnRelease = false;
    base::core::SmartPtr<base::core::InputStream> mainInput;
    base::core::SmartPtr<base::core::OutputStream> mainOutput;
    base::core::SmartPtr<base::core::InputStream> asyncInput;
    int32_t nextRequestId = 1;
    base::core::Mutex pendingRequestsMutex;
    std::unordered_map<int32_t, base::core::SmartPtr<PluginHostRequest>> pendingRequests;
    base::core::Mutex instancesMutex;
    // The instances whose shared blocks this side has opened, to be removed at shutdown or should the host
    // die. Destroyed instances stay on it: a proxy released right after its shutdown ends the host process,
    // which may not have run the destruction yet (removing a name the host removed already does nothing).
    std::unordered_set<int32_t> instancesWithBlocks;
    base::core::Mutex listenersMutex;
    std::unordered_map<int32_t, base::core::SmartPtr<PluginHostNotificationListener>> listeners;
    base::core::SmartPtr<RemotePluginHostProxyAsyncReplyThread> asyncReplyThread;
    std::vector<base::core::SmartPtr<AudioThreadProxy>> audioThreads;
    base::core::SmartPtr<base::core::Object> connection;
    // The caller's request in flight (0: none): a synchronous answer, or a write the host does not take.
    std::atomic<int64_t> callSince{0};
    std::atomic<int32_t> callType{-1};
    std::atomic<int32_t> callInstance{-1};
    // Every request is numbered in sending order; the host runs them in that order, so an answer to one
    // shows that all before it have run.
    uint64_t requestsSent = 0;
    std::atomic<uint64_t> answeredThrough{0};
    // Guarded by pendingRequestsMutex.
    std::unordered_map<int32_t, AsyncStamp> asyncStamps;
    base::core::Mutex deathReasonMutex;
    base::core::String deathReason;
    base::core::String deathText;
    base::core::SmartPtr<RemotePluginHostWatchdog> watchdog;
};

} // namespace plugin
