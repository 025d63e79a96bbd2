#include "client/RemotePluginHostProxy.h"

#include "base/core/IOException.h"
#include "base/core/LockGuard.h"
#include "base/core/SharedMemory.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "client/AudioThreadProxy.h"
#include "client/RemotePluginAudioContextProxy.h"
#include "client/RemotePluginHostProxyAsyncReplyThread.h"
#include "client/RemotePluginHostProxyManager.h"
#include "plugin/PluginAudioContext.h"
#include "plugin/PluginException.h"
#include "plugin/PluginHostNotificationListener.h"
#include "plugin/PluginHostNotifications.h"
#include "plugin/PluginHostReplies.h"
#include "plugin/PluginHostRequests.h"
#include "plugin/PluginInstanceState.h"

namespace plugin {

using base::core::IOException;
using base::core::LockGuard;
using base::core::SmartPtr;
using base::core::String;
using base::core::StringBuilder;

RemotePluginHostProxy::RemotePluginHostProxy(RemotePluginHostProxyManager* manager, int hostId, int blockSize)
    : manager(manager), hostId(hostId), blockSize(blockSize) {}

RemotePluginHostProxy::~RemotePluginHostProxy() {
    if (watchdog)
        watchdog->stop();
    // The reply thread reads through this proxy: make sure it has stopped before the members go.
    closeStreams();
    asyncReplyThread.reset();
}

void RemotePluginHostProxy::setStreams(const SmartPtr<base::core::InputStream>& mainIn,
                                       const SmartPtr<base::core::OutputStream>& mainOut,
                                       const SmartPtr<base::core::InputStream>& asyncIn) {
    mainInput = mainIn;
    mainOutput = mainOut;
    asyncInput = asyncIn;
}

void RemotePluginHostProxy::startAsyncReplyThread() {
    asyncReplyThread = new RemotePluginHostProxyAsyncReplyThread(this);
    asyncReplyThread->start();
}

void RemotePluginHostProxy::startWatchdog(const RemotePluginHostWatchdog::Deadlines& deadlines,
                                          std::function<void()> killHost) {
    watchdog = new RemotePluginHostWatchdog(this, deadlines, std::move(killHost));
    watchdog->start();
}

void RemotePluginHostProxy::setDeathReason(const String& reason) {
    LockGuard guard(deathReasonMutex);
    if (deathReason.isEmpty())
        deathReason = reason;
}

String RemotePluginHostProxy::getDeathReason() {
    LockGuard guard(deathReasonMutex);
    return deathReason;
}

String RemotePluginHostProxy::getDeathText() {
    LockGuard guard(deathReasonMutex);
    return deathText;
}

void RemotePluginHostProxy::markAnswered(uint64_t order) {
    uint64_t seen = answeredThrough.load();
    while (seen < order && !answeredThrough.compare_exchange_weak(seen, order)) {
    }
}

void RemotePluginHostProxy::failWithDeath(const IOException& e, bool onMainThread) {
    pluginHostDied(e.getMessage(), onMainThread);
    const String reason = getDeathReason();
    if (!reason.isEmpty())
        throw IOException(StringBuilder() + "Plugin host died: " + reason);
    throw;
}

void RemotePluginHostProxy::addAudioThread(const SmartPtr<AudioThreadProxy>& audioThread) {
    audioThreads.push_back(audioThread);
}

AudioThreadProxy* RemotePluginHostProxy::getAudioThreadForCurrentThread() const {
    const int index = manager->getAudioThreadIdForCurrentThread();
    return index >= 0 && index < static_cast<int>(audioThreads.size()) ? audioThreads[index].get() : nullptr;
}

SmartPtr<PluginHostReply> RemotePluginHostProxy::sendRequest(PluginHostRequest* request,
                                                             PluginHostAsyncReplyHandler* handler) {
    if (died.load())
        throw IOException("Communication lost with plugin host process");
    if (!mainOutput)
        throw IOException("Attempting to send requst to plug-in host process with no output stream");
    const bool async = request->isAsync();
    const uint64_t order = ++requestsSent;
    const auto* instanceRequest = dynamic_cast<const PluginInstanceRequest*>(request);
    const int32_t instanceId = instanceRequest ? instanceRequest->getInstanceId() : -1;
    const int64_t sentAt = RemotePluginHostWatchdog::now();
    if (request->hasReply() && async) {
        LockGuard guard(pendingRequestsMutex);
        request->setRequestId(nextRequestId);
        request->setAsyncReplyHandler(handler);
        pendingRequests.emplace(nextRequestId, request);
        asyncStamps.emplace(nextRequestId, AsyncStamp{request->getRequestType(), instanceId, sentAt, order});
        ++nextRequestId;
    }
    callType.store(request->getRequestType(), std::memory_order_relaxed);
    callInstance.store(instanceId, std::memory_order_relaxed);
    callSince.store(sentAt, std::memory_order_release);
    struct EndOfCall {
        std::atomic<int64_t>& since;
        ~EndOfCall() { since.store(0, std::memory_order_release); }
    } endOfCall{callSince};
    try {
        writeRequest(mainOutput.get(), *request);
        if (!request->hasReply() || async)
            return nullptr;
        const bool success = mainInput->readBool();
        markAnswered(order);
        if (success)
            return request->readReply(mainInput.get());
        throw PluginException(mainInput->readBinaryString());
    } catch (const IOException& e) {
        failWithDeath(e, true);
    }
}

void RemotePluginHostProxy::readAsyncReplies() {
    try {
        while (!died.load()) {
            const int32_t id = asyncInput->readInt32Native();
            if (id != 0) {
                handleAsyncAnswer(id);
                continue;
            }
            SmartPtr<PluginHostNotification> notification =
                readPluginHostNotification(contextHandler.get(), asyncInput.get());
            if (!notification)
                continue;
            SmartPtr<PluginHostNotificationListener> listener;
            {
                LockGuard guard(listenersMutex);
                auto found = listeners.find(notification->getInstanceId());
                if (found != listeners.end())
                    listener = found->second;
            }
            if (listener && !died.load())
                notification->notify(listener.get());
        }
    } catch (const IOException& e) {
        // A host told to shut down closes its pipes as it ends: that is no death to report.
        if (!shuttingDown.load())
            pluginHostDied(e.getMessage(), false);
    } catch (const base::core::Exception& e) {
        base::core::getOut()->writeLine(StringBuilder() + "Plugin host async reply reader thread crashed" +
                                        e.getMessage());
    } catch (...) {
        base::core::getOut()->writeLine(
            "Plugin host async reply reader thread crashed with unknown exception");
    }
}

void RemotePluginHostProxy::handleAsyncAnswer(int32_t requestId) {
    SmartPtr<PluginHostRequest> request;
    {
        LockGuard guard(pendingRequestsMutex);
        auto found = pendingRequests.find(requestId);
        if (found != pendingRequests.end()) {
            request = std::move(found->second);
            pendingRequests.erase(found);
        }
        if (auto stamp = asyncStamps.find(requestId); stamp != asyncStamps.end()) {
            markAnswered(stamp->second.order);
            asyncStamps.erase(stamp);
        }
    }
    if (!request)
        throw IOException(StringBuilder() + "Invalid async request id " + requestId);
    SmartPtr<PluginHostAsyncReplyHandler> handler(request->getAsyncReplyHandler());
    if (!asyncInput->readBool()) {
        const String message = asyncInput->readBinaryString();
        if (handler && !died.load())
            handler->handleError(message);
        return;
    }
    SmartPtr<PluginHostReply> reply = request->readReply(asyncInput.get());
    if (auto* created = dynamic_cast<CreatePluginInstanceReply*>(reply.get()); created && !died.load()) {
        auto* createRequest = static_cast<CreatePluginInstanceRequest*>(request.get());
        if (PluginHostNotificationListener* listener = createRequest->getListener()) {
            LockGuard guard(listenersMutex);
            listeners[created->getInstanceId()] = listener;
        }
        SmartPtr<RemotePluginAudioContextProxy> context(new RemotePluginAudioContextProxy(
            this, created->getInstanceId(), created->getAudioInChannelCount(),
            created->getAudioOutChannelCount(),
            static_cast<int>(created->getState()->getParameters().size())));
        {
            LockGuard guard(instancesMutex);
            instancesWithBlocks.insert(created->getInstanceId());
        }
        context->init();
        created->setAudioContext(context.get());
    }
    if (handler && !died.load())
        handler->handleReply(reply.get());
}

void RemotePluginHostProxy::removeSharedBlock(int32_t instanceId) const {
    base::core::SharedMemory::remove(getAudioContextName(hostId, instanceId));
}

void RemotePluginHostProxy::removeSharedBlocks() {
    LockGuard guard(instancesMutex);
    for (int32_t instanceId : instancesWithBlocks)
        removeSharedBlock(instanceId);
    instancesWithBlocks.clear();
}

void RemotePluginHostProxy::cancelAsyncReplies(int instanceId) {
    {
        LockGuard guard(pendingRequestsMutex);
        for (auto& [id, request] : pendingRequests) {
            if (request->isForPluginInstance(instanceId) && request->getAsyncReplyHandler()) {
                request->getAsyncReplyHandler()->replyCanceled();
                // The request stays, so that its late answer is still read and then dropped.
                request->setAsyncReplyHandler(nullptr);
                asyncStamps.erase(id); // nobody waits for the answer any more
            }
        }
    }
    if (instanceId >= 0) {
        LockGuard guard(listenersMutex);
        listeners.erase(instanceId);
    }
}

void RemotePluginHostProxy::pluginHostDied(const String& seen, bool onMainThread) {
    int32_t expected = 0;
    if (!died.compare_exchange_strong(expected, 1))
        return;
    // A deadline that ended the host names the cause better than the broken pipe that followed.
    const String reason = getDeathReason();
    const String& message = reason.isEmpty() ? seen : reason;
    const String text = StringBuilder() + "Plugin host died: " + message;
    {
        LockGuard guard(deathReasonMutex);
        deathText = text;
    }
    {
        LockGuard guard(pendingRequestsMutex);
        for (auto& [id, request] : pendingRequests) {
            // A creation the host may have begun has a block to remove as well.
            if (request->getRequestType() == PluginHostRequest::CREATE_PLUGIN_INSTANCE)
                removeSharedBlock(static_cast<CreatePluginInstanceRequest*>(request.get())->getInstanceId());
            if (PluginHostAsyncReplyHandler* handler = request->getAsyncReplyHandler())
                handler->handleError(text);
        }
        pendingRequests.clear();
    }
    // A host that died removed nothing; its blocks would stay in memory for ever.
    removeSharedBlocks();
    closeStreams();
    manager->remotePluginHostDied(this, message, onMainThread);
}

void RemotePluginHostProxy::closeStreams() {
    // Any thread may be writing a request: the output is abandoned, never flushed under that write. Closing
    // the async input also wakes the reply thread out of its blocked read; it may have been closed before.
    if (mainOutput)
        mainOutput->abandon();
    try {
        if (asyncInput)
            asyncInput->close();
    } catch (const IOException&) {
    }
}

void RemotePluginHostProxy::shutdown() {
    shuttingDown.store(true);
    PluginHostProxy::shutdown();
    // The host removes them too as it ends, unless it is ended first (its launcher kills a host that is
    // still running when the connection goes).
    removeSharedBlocks();
    int32_t expected = 0;
    if (!died.compare_exchange_strong(expected, 1))
        return;
    {
        LockGuard guard(pendingRequestsMutex);
        pendingRequests.clear();
    }
    {
        LockGuard guard(listenersMutex);
        listeners.clear();
    }
    closeStreams();
    if (watchdog)
        watchdog->stop();
    if (asyncReplyThread && !asyncReplyThread->isCurrentThread())
        asyncReplyThread->join();
}

bool RemotePluginHostProxy::beforeDestruction() {
    if (shutdownOnRelease)
        shutdown();
    return true;
}

} // namespace plugin
