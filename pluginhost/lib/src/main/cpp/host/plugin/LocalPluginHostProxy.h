#pragma once

#include "base/core/ConditionVariable.h"
#include "base/core/Mutex.h"
#include "base/core/SmartPtr.h"
#include "base/core/String.h"
#include "client/PluginHostProxy.h"

#include <unordered_map>
#include <vector>

namespace plugin {

class PluginHost;
class PluginHostNotificationListener;

// A proxy for a host in this same process: requests go to the host's main thread as they are, nothing
// is serialised. The caller's thread sends requests (one thread at a time); answers and notifications
// arrive on the host's main thread through LocalPluginHostProxyHandler, which calls gotReply and
// findListener.
class LocalPluginHostProxy : public PluginHostProxy {
public:
    explicit LocalPluginHostProxy(PluginHost* host);

    // Links the handler that carries the host's answers back here; before the first request.
    void setContextHandler(PluginHostProxyHandler* handler) { contextHandler = handler; }

    base::core::SmartPtr<PluginHostReply> sendRequest(PluginHostRequest* request,
                                                      PluginHostAsyncReplyHandler* handler) override;
    void cancelAsyncReplies(int instanceId) override;
    // The host is shared by every user of this proxy and lives until the process ends, so one user's
    // shutdown leaves it running.
    void shutdown() override {}

    // [host main thread] The answer to `request`: `reply` (null for a void answer) or, when `error` is
    // given, that message.
    void gotReply(PluginHostRequest* request, PluginHostReply* reply, const base::core::String* error);
    // [host main thread] Notifications of the instance go to `listener` from now on.
    void registerListener(int instanceId, PluginHostNotificationListener* listener);
    // [host main thread] The instance's listener, or null.
    base::core::SmartPtr<PluginHostNotificationListener> findListener(int instanceId);

private:
    PluginHost* host;
    base::core::Mutex mutex;
    base::core::ConditionVariable answered;
    std::vector<base::core::SmartPtr<PluginHostRequest>> pendingRequests;
    std::unordered_map<int, base::core::SmartPtr<PluginHostNotificationListener>> listeners;
    // The synchronous request in flight and its answer.
    PluginHostRequest* waitingRequest = nullptr;
    bool syncAnswered = false;
    bool syncFailed = false;
    base::core::String syncError;
    base::core::SmartPtr<PluginHostReply> syncReply;
};

} // namespace plugin
