#include "client/RemotePluginHostWatchdog.h"

#include "base/core/LockGuard.h"
#include "base/core/StringBuilder.h"
#include "client/AudioThreadProxy.h"
#include "client/RemotePluginHostProxy.h"
#include "plugin/PluginHostRequests.h"

#include <algorithm>
#include <cstdio>

namespace plugin {

using base::core::LockGuard;
using base::core::String;
using base::core::StringBuilder;

namespace {

constexpr double NANOSECONDS = 1e9;

String seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", value);
    return text;
}

String overdue(const String& what, int64_t waited, double deadline) {
    return StringBuilder() + what + " not answered after " +
           seconds(static_cast<double>(waited) / NANOSECONDS) + " (deadline " + seconds(deadline) + ")";
}

String requestDescription(int requestType, int32_t instanceId) {
    StringBuilder text;
    text + RemotePluginHostWatchdog::requestName(requestType);
    if (instanceId >= 0)
        text + " of instance " + instanceId;
    return text;
}

} // namespace

RemotePluginHostWatchdog::RemotePluginHostWatchdog(RemotePluginHostProxy* proxy, const Deadlines& deadlines,
                                                   std::function<void()> killHost)
    : Thread("Plugin host watchdog", 3), proxy(proxy), deadlines(deadlines), killHost(std::move(killHost)),
      blockSeen(proxy->audioThreads.size(), 0), blockSeenSince(proxy->audioThreads.size(), 0) {}

RemotePluginHostWatchdog::~RemotePluginHostWatchdog() {
    stop();
}

void RemotePluginHostWatchdog::stop() {
    {
        std::lock_guard<std::mutex> lock(stopMutex);
        stopping = true;
        stopCondition.notify_all();
    }
    if (!isCurrentThread())
        join();
}

String RemotePluginHostWatchdog::requestName(int requestType) {
    static const char* const NAMES[] = {"CreatePluginInstance",
                                        "DestroyPluginInstance",
                                        "OpenGUI",
                                        "CloseGUI",
                                        "UpdateIO",
                                        "LoadPreset",
                                        "SavePreset",
                                        "SetCurrentProgram",
                                        "ShowAllGUIs",
                                        "HideAllGUIs",
                                        "ActivateAppGUI",
                                        "DeactivateAppGUI",
                                        "Shutdown",
                                        "Ping",
                                        "SetWindowTitle",
                                        "SetWindowPosition"};
    if (requestType >= 0 && requestType <= PluginHostRequest::MAX_REQUEST_TYPE)
        return NAMES[requestType];
    return StringBuilder() + "request " + requestType;
}

double RemotePluginHostWatchdog::deadlineOf(int requestType) const {
    return requestType == PluginHostRequest::CREATE_PLUGIN_INSTANCE ||
                   requestType == PluginHostRequest::LOAD_PRESET
               ? deadlines.loadSeconds
               : deadlines.requestSeconds;
}

void RemotePluginHostWatchdog::run() {
    // Ten looks a second, more often when a deadline is short, so a deadline is overrun by a tick at most.
    const double shortest =
        std::min({deadlines.blockSeconds, deadlines.loadSeconds, deadlines.requestSeconds});
    const auto tick = std::chrono::duration<double>(std::clamp(shortest / 4, 0.01, 0.1));
    std::unique_lock<std::mutex> lock(stopMutex);
    while (!stopping && !proxy->hasDied()) {
        if (stopCondition.wait_for(lock, tick, [this] { return stopping; }))
            break;
        lock.unlock();
        const String reason = findOverdueWait(now());
        if (!reason.isEmpty()) {
            // The reason first: whichever thread then sees the pipes break reports it, and only once.
            proxy->setDeathReason(reason);
            killHost();
            proxy->pluginHostDied(reason, false);
            return;
        }
        lock.lock();
    }
}

String RemotePluginHostWatchdog::findOverdueWait(int64_t time) {
    // Audio threads: a block number that stays in flight from one look to the next is timed from the
    // first look that saw it, so the audio thread never reads a clock.
    for (size_t index = 0; index < blockSeen.size(); ++index) {
        const AudioThreadProxy::ProcessStamp stamp = proxy->audioThreads[index]->getProcessStamp();
        if (stamp.block == 0 || stamp.block != blockSeen[index]) {
            blockSeen[index] = stamp.block;
            blockSeenSince[index] = time;
            continue;
        }
        const int64_t waited = time - blockSeenSince[index];
        if (static_cast<double>(waited) > deadlines.blockSeconds * NANOSECONDS)
            return overdue(StringBuilder() + "Process call of instance " + stamp.instanceId + " (" +
                               static_cast<int>(stamp.frames) + " frames)",
                           waited, deadlines.blockSeconds);
    }
    // The caller's request: a synchronous answer, or a write that the host does not take.
    if (const int64_t since = proxy->callSince.load(std::memory_order_acquire); since != 0) {
        const int type = proxy->callType.load(std::memory_order_relaxed);
        const double deadline = deadlineOf(type);
        if (static_cast<double>(time - since) > deadline * NANOSECONDS)
            return overdue(requestDescription(type, proxy->callInstance.load(std::memory_order_relaxed)),
                           time - since, deadline);
    }
    // Asynchronous answers. One sent before a request that has been answered was run by the host without
    // an answer (an unknown instance): the host is not stuck on it, so it has no deadline.
    const uint64_t answeredThrough = proxy->answeredThrough.load(std::memory_order_acquire);
    LockGuard guard(proxy->pendingRequestsMutex);
    for (const auto& [id, stamp] : proxy->asyncStamps) {
        const double deadline = deadlineOf(stamp.requestType);
        if (stamp.order > answeredThrough &&
            static_cast<double>(time - stamp.sentAt) > deadline * NANOSECONDS)
            return overdue(requestDescription(stamp.requestType, stamp.instanceId), time - stamp.sentAt,
                           deadline);
    }
    return String();
}

} // namespace plugin
