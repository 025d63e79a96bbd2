#include "linux/MainLoop.h"

#include "base/core/IOException.h"
#include "base/core/LockGuard.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "linux/X11Display.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace plugin {

using base::core::IOException;
using base::core::LockGuard;
using base::core::SmartPtr;
using base::core::StringBuilder;

namespace {

void drain(int fd) {
    uint64_t value;
    while (read(fd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

} // namespace

MainLoop::MainLoop() : wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    queue.reserve(QUEUE_ROOM);
    runningBatch.reserve(QUEUE_ROOM);
    if (wakeFd < 0)
        throw IOException(StringBuilder() +
                          "Could not create the main loop's eventfd: " + std::strerror(errno));
    X11Display::installErrorHandler();
}

MainLoop::~MainLoop() {
    if (x11Display)
        removeFileDescriptor(x11Display->getFileDescriptor());
    for (auto& [fd, watch] : watches) {
        if (watch.isTimer)
            close(fd);
    }
    close(wakeFd);
}

void MainLoop::post(const SmartPtr<PluginHostAction>& action) {
    {
        LockGuard guard(queueMutex);
        queue.push_back(action);
    }
    const uint64_t one = 1;
    // The eventfd counter cannot overflow in practice; a failed write would only delay the action.
    [[maybe_unused]] ssize_t written = write(wakeFd, &one, sizeof one);
}

void MainLoop::terminate() {
    terminated.store(true);
    {
        LockGuard guard(terminationMutex);
        terminationCondition.broadcast();
    }
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t written = write(wakeFd, &one, sizeof one);
}

void MainLoop::waitUntilTerminated() {
    LockGuard guard(terminationMutex);
    while (!terminated.load() || running)
        terminationCondition.wait(terminationMutex);
}

void MainLoop::addFileDescriptor(int fd, Callback callback) {
    watches[fd] = Watch{std::move(callback), false};
}

void MainLoop::removeFileDescriptor(int fd) {
    watches.erase(fd);
}

int MainLoop::addTimer(double intervalSeconds, Callback callback) {
    const int fd = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
    if (fd < 0)
        throw IOException(StringBuilder() + "Could not create a timer: " + std::strerror(errno));
    itimerspec spec{};
    const double whole = std::floor(intervalSeconds);
    spec.it_interval.tv_sec = static_cast<time_t>(whole);
    spec.it_interval.tv_nsec = static_cast<long>((intervalSeconds - whole) * 1e9);
    if (spec.it_interval.tv_sec == 0 && spec.it_interval.tv_nsec == 0)
        spec.it_interval.tv_nsec = 1;
    spec.it_value = spec.it_interval;
    timerfd_settime(fd, 0, &spec, nullptr);
    watches[fd] = Watch{std::move(callback), true};
    return fd;
}

void MainLoop::removeTimer(int timerId) {
    auto found = watches.find(timerId);
    if (found != watches.end() && found->second.isTimer) {
        watches.erase(found);
        close(timerId);
    }
}

void MainLoop::watchParentProcess(Callback onExit) {
    const pid_t parent = getppid();
    const int fd = static_cast<int>(syscall(SYS_pidfd_open, parent, 0));
    if (fd >= 0) {
        // The pidfd is closed with the other timer-like descriptors when the loop goes.
        watches[fd] = Watch{[this, fd, onExit = std::move(onExit)] {
                                removeTimer(fd);
                                onExit();
                            },
                            true};
        return;
    }
    // Without pidfd (old kernels, seccomp), look at the parent once a second instead.
    auto fired = std::make_shared<bool>(false);
    addTimer(1.0, [parent, fired, onExit = std::move(onExit)] {
        if (!*fired && getppid() != parent) {
            *fired = true;
            onExit();
        }
    });
}

X11Display* MainLoop::getX11Display(base::core::String& error) {
    if (!x11Display) {
        x11Display = X11Display::open(error);
        if (x11Display) {
            X11Display* display = x11Display.get();
            addFileDescriptor(display->getFileDescriptor(), [display] { display->dispatchEvents(); });
        }
    }
    return x11Display.get();
}

void MainLoop::runPostedActions() {
    drain(wakeFd);
    // Take only what is queued now, so actions that post further actions cannot starve the loop.
    {
        LockGuard guard(queueMutex);
        runningBatch.swap(queue);
    }
    struct ReleaseBatch {
        std::vector<SmartPtr<PluginHostAction>>& batch;
        ~ReleaseBatch() { batch.clear(); } // keeps its room for the next swap
    } releaseBatch{runningBatch};
    for (auto& action : runningBatch) {
        if (terminated.load())
            return;
        try {
            action->run();
        } catch (const std::exception& e) {
            // An action's failure must not end the loop; report it and go on with the next one.
            base::core::getError()->writeLine(StringBuilder() +
                                              "Uncaught exception on main thread: " + e.what());
        } catch (...) {
            base::core::getError()->writeLine("Uncaught exception on main thread");
        }
    }
}

void MainLoop::dispatch(int fd) {
    auto found = watches.find(fd);
    if (found == watches.end())
        return;
    if (found->second.isTimer)
        drain(fd);
    // Copy: the callback may remove its own watch.
    Callback callback = found->second.callback;
    callback();
}

void MainLoop::run() {
    {
        LockGuard guard(terminationMutex);
        running = true;
    }
    std::vector<pollfd> fds;
    while (!terminated.load()) {
        // Xlib may have read events into its queue, or buffered requests, while the loop's work ran.
        if (x11Display)
            x11Display->dispatchEvents();
        fds.clear();
        fds.push_back({wakeFd, POLLIN, 0});
        for (const auto& entry : watches)
            fds.push_back({entry.first, POLLIN, 0});
        const int ready = poll(fds.data(), fds.size(), -1);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            base::core::getError()->writeLine(StringBuilder() +
                                              "Main loop poll failed: " + std::strerror(errno));
            break;
        }
        if (fds[0].revents)
            runPostedActions();
        for (size_t i = 1; i < fds.size() && !terminated.load(); ++i) {
            if (fds[i].revents)
                dispatch(fds[i].fd);
        }
    }
    LockGuard guard(terminationMutex);
    running = false;
    terminationCondition.broadcast();
}

} // namespace plugin
