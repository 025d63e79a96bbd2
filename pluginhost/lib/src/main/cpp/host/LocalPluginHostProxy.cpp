#include "plugin/LocalPluginHostProxy.h"

#include "base/core/Exception.h"
#include "base/core/LockGuard.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginHostNotificationListener.h"
#include "plugin/PluginHostReplies.h"
#include "plugin/PluginHostRequests.h"

#include <algorithm>

namespace plugin {

using base::core::LockGuard;
using base::core::SmartPtr;
using base::core::String;

LocalPluginHostProxy::LocalPluginHostProxy(PluginHost* host) : host(host) {}

SmartPtr<PluginHostReply> LocalPluginHostProxy::sendRequest(PluginHostRequest* request,
                                                            PluginHostAsyncReplyHandler* handler) {
    const bool synchronous = !request->isAsync();
    {
        LockGuard guard(mutex);
        if (synchronous) {
            waitingRequest = request;
            syncAnswered = false;
        } else if (request->hasReply()) {
            request->setAsyncReplyHandler(handler);
            pendingRequests.emplace_back(request);
        }
    }
    host->execOnMainThread(SmartPtr<PluginHostAction>(request));
    if (!synchronous)
        return nullptr;
    LockGuard guard(mutex);
    while (!syncAnswered)
        answered.wait(mutex);
    waitingRequest = nullptr;
    if (syncFailed) {
        syncFailed = false;
        throw base::core::Exception(syncError);
    }
    SmartPtr<PluginHostReply> reply = syncReply;
    syncReply = nullptr;
    return reply;
}

void LocalPluginHostProxy::gotReply(PluginHostRequest* request, PluginHostReply* reply, const String* error) {
    SmartPtr<PluginHostRequest> pending;
    {
        LockGuard guard(mutex);
        if (request == waitingRequest) {
            syncAnswered = true;
            syncFailed = error != nullptr;
            syncError = error ? *error : String();
            syncReply = reply;
            answered.broadcast();
            return;
        }
        auto found = std::find_if(
            pendingRequests.begin(), pendingRequests.end(),
            [request](const SmartPtr<PluginHostRequest>& each) { return each.get() == request; });
        if (found == pendingRequests.end())
            return; // an answer nobody asked for, such as a void answer to a request without a reply
        pending = *found;
        pendingRequests.erase(found);
    }
    // Outside the lock: the handler may send the next request at once.
    SmartPtr<PluginHostAsyncReplyHandler> handler(pending->getAsyncReplyHandler());
    if (!handler)
        return; // cancelled
    if (error)
        handler->handleError(*error);
    else
        handler->handleReply(reply);
}

void LocalPluginHostProxy::cancelAsyncReplies(int instanceId) {
    std::vector<SmartPtr<PluginHostAsyncReplyHandler>> cancelled;
    {
        LockGuard guard(mutex);
        for (const SmartPtr<PluginHostRequest>& request : pendingRequests) {
            if (request->isForPluginInstance(instanceId) && request->getAsyncReplyHandler()) {
                cancelled.emplace_back(request->getAsyncReplyHandler());
                // The request stays pending, so that its late answer is recognised and dropped.
                request->setAsyncReplyHandler(nullptr);
            }
        }
        if (instanceId >= 0)
            listeners.erase(instanceId);
    }
    for (const auto& handler : cancelled)
        handler->replyCanceled();
}

void LocalPluginHostProxy::registerListener(int instanceId, PluginHostNotificationListener* listener) {
    LockGuard guard(mutex);
    listeners[instanceId] = listener;
}

SmartPtr<PluginHostNotificationListener> LocalPluginHostProxy::findListener(int instanceId) {
    LockGuard guard(mutex);
    const auto found = listeners.find(instanceId);
    return found == listeners.end() ? nullptr : found->second;
}

} // namespace plugin
