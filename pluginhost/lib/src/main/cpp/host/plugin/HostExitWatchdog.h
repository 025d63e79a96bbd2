#pragma once

#include "base/core/Thread.h"

#include <atomic>
#include <cstdint>
#include <sys/types.h>

namespace plugin {

// Makes sure a host process that is to end does end, whatever its plug-ins do. Its thread watches the
// parent (the client) itself, since the main loop's watch cannot run while a plug-in call holds the main
// thread. Once the end has begun (a Shutdown request, the client's pipe or process gone) the process has
// GRACE_SECONDS to end in order before it is ended here; a main thread stuck that long writing to a
// client that does not read means the client is gone too.
// One per host process, started before the control pipes connect and never stopped: it must outlive
// everything it watches. The static operations may be called from any thread, also without one running.
class HostExitWatchdog : public base::core::Thread {
public:
    static constexpr double GRACE_SECONDS = 3;
    static constexpr double WRITE_STALL_SECONDS = 10;
    // The exit status of a host ended here rather than in order.
    static constexpr int FORCED_EXIT_STATUS = 3;

    HostExitWatchdog();
    ~HostExitWatchdog() override;

    void run() override;

    // The host is to end: starts the grace period, unless one is running. `reason` must live for ever
    // (a literal); it goes into the line written when the grace period runs out.
    static void beginGracePeriod(const char* reason);

    // Marks one message written to the client (on the main thread), so that a write the client never
    // takes is seen.
    class ControlWrite {
    public:
        ControlWrite();
        ~ControlWrite();
        ControlWrite(const ControlWrite&) = delete;
        ControlWrite& operator=(const ControlWrite&) = delete;
    };

private:
    [[noreturn]] static void exitNow(const char* line);
    bool parentEnded();

    pid_t parent;
    int parentFd;
    static std::atomic<int64_t> graceEnd;
    static std::atomic<const char*> graceReason;
    static std::atomic<int64_t> writeSince;
};

} // namespace plugin
