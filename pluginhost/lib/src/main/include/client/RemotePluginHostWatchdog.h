#pragma once

#include "base/core/String.h"
#include "base/core/Thread.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace plugin {

class RemotePluginHostProxy;

// Looks at the stamps of a proxy's in-flight waits about ten times a second. When one is overdue it
// records the reason with the proxy and ends the host process; the blocked threads then see the broken
// pipes and the proxy's usual death path reports that reason once. The waiting threads only stamp: the
// audio path makes no clock or timer call for this.
// Started and stopped by the proxy's owner thread; run() is the watchdog's own thread.
class RemotePluginHostWatchdog : public base::core::Thread {
public:
    // How long the client waits for each kind of answer, in seconds.
    struct Deadlines {
        double blockSeconds = 5;    // one block's process round trip
        double loadSeconds = 60;    // instance creation and preset loads
        double requestSeconds = 10; // every other request
    };

    RemotePluginHostWatchdog(RemotePluginHostProxy* proxy, const Deadlines& deadlines,
                             std::function<void()> killHost);
    ~RemotePluginHostWatchdog() override;

    void run() override;
    // Ends run() and joins; does nothing when called on the watchdog's own thread.
    void stop();

    // Nanoseconds of the steady clock, the time base of every stamp.
    static int64_t now() {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    // "CreatePluginInstance" and so on; "request <type>" for a type without a name.
    static base::core::String requestName(int requestType);

private:
    // The reason to end the host when a wait is overdue at `time`, empty when none is.
    base::core::String findOverdueWait(int64_t time);
    double deadlineOf(int requestType) const;

    RemotePluginHostProxy* proxy;
    Deadlines deadlines;
    std::function<void()> killHost;
    // Per client audio thread: the block number seen in flight and when it was first seen.
    std::vector<uint64_t> blockSeen;
    std::vector<int64_t> blockSeenSince;
    std::mutex stopMutex;
    std::condition_variable stopCondition;
    bool stopping = false;
};

} // namespace plugin
