#include "plugin/HostExitWatchdog.h"

#include "base/core/SharedMemory.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace plugin {

namespace {

constexpr int TICK_MILLISECONDS = 100;

int64_t now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t nanoseconds(double seconds) {
    return static_cast<int64_t>(seconds * 1e9);
}

} // namespace

std::atomic<int64_t> HostExitWatchdog::graceEnd{0};
std::atomic<const char*> HostExitWatchdog::graceReason{nullptr};
std::atomic<int64_t> HostExitWatchdog::writeSince{0};

HostExitWatchdog::HostExitWatchdog()
    : Thread("Host exit watch", 2), parent(getppid()),
      parentFd(static_cast<int>(syscall(SYS_pidfd_open, parent, 0))) {}

HostExitWatchdog::~HostExitWatchdog() {
    // Never reached in a host process, whose watchdog lives until the process ends.
    join();
    if (parentFd >= 0)
        close(parentFd);
}

void HostExitWatchdog::beginGracePeriod(const char* reason) {
    int64_t expected = 0;
    if (graceEnd.compare_exchange_strong(expected, now() + nanoseconds(GRACE_SECONDS)))
        graceReason.store(reason);
}

HostExitWatchdog::ControlWrite::ControlWrite() {
    writeSince.store(now(), std::memory_order_relaxed);
}

HostExitWatchdog::ControlWrite::~ControlWrite() {
    writeSince.store(0, std::memory_order_relaxed);
}

bool HostExitWatchdog::parentEnded() {
    if (parentFd < 0) {
        usleep(TICK_MILLISECONDS * 1000);
        return getppid() != parent;
    }
    pollfd fd{parentFd, POLLIN, 0};
    return poll(&fd, 1, TICK_MILLISECONDS) == 1;
}

void HostExitWatchdog::run() {
    bool parentGone = false;
    for (;;) {
        if (parentEnded() && !parentGone) {
            parentGone = true;
            beginGracePeriod("its client process ended");
        }
        const int64_t time = now();
        const int64_t end = graceEnd.load();
        char line[256];
        if (end != 0 && time > end) {
            std::snprintf(line, sizeof line, "Plug-in host still running %.0f s after %s; ending it\n",
                          GRACE_SECONDS, graceReason.load());
            exitNow(line);
        }
        const int64_t since = writeSince.load(std::memory_order_relaxed);
        if (since != 0 && time - since > nanoseconds(WRITE_STALL_SECONDS)) {
            std::snprintf(line, sizeof line,
                          "Plug-in host ending: its client has not taken a control message for %.0f s\n",
                          WRITE_STALL_SECONDS);
            exitNow(line);
        }
        if (parentGone && parentFd >= 0)
            usleep(TICK_MILLISECONDS * 1000); // a pidfd of an ended process stays readable
    }
}

void HostExitWatchdog::exitNow(const char* line) {
    // Straight to the descriptor: a stuck main thread may hold the error stream.
    [[maybe_unused]] const ssize_t written = write(2, line, std::strlen(line));
    // The instances' shared blocks would otherwise stay in memory after the process.
    base::core::SharedMemory::removeAllOwnedNames();
    _exit(FORCED_EXIT_STATUS);
}

} // namespace plugin
