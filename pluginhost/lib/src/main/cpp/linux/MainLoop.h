#pragma once

#include "base/core/ConditionVariable.h"
#include "base/core/Mutex.h"
#include "base/core/SmartPtr.h"
#include "base/core/String.h"
#include "plugin/PluginHostAction.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace plugin {

class X11Display;

// The host's main-thread loop: a poll() over an eventfd for posted actions, timerfds for the idle tick
// and plug-in timers, a pidfd of the parent process and any descriptors registered by windows and
// plug-ins, and the X connection once an editor has opened it. Everything it calls runs on the thread that
// calls run().
class MainLoop {
public:
    using Callback = std::function<void()>;
    static constexpr size_t QUEUE_ROOM = 4096;

    MainLoop();
    MainLoop(const MainLoop&) = delete;
    MainLoop& operator=(const MainLoop&) = delete;
    ~MainLoop();

    // Any thread; never waits for the action to run.
    void post(const base::core::SmartPtr<PluginHostAction>& action);
    // Runs until terminate(); returns at once if terminate() came first.
    void run();
    // Any thread.
    void terminate();
    bool isTerminated() const { return terminated.load(); }
    // Blocks the calling (non-main) thread until the loop has ended.
    void waitUntilTerminated();

    // Calls `callback` on the loop thread whenever `fd` is readable, until removed.
    void addFileDescriptor(int fd, Callback callback);
    void removeFileDescriptor(int fd);
    // A repeating timer; returns its id.
    int addTimer(double intervalSeconds, Callback callback);
    void removeTimer(int timerId);
    // Calls `onExit` once when the parent process has ended.
    void watchParentProcess(Callback onExit);
    // [loop thread] The X connection, opened on first use and watched by the loop from then on; null,
    // with the reason in `error`, while there is no display.
    X11Display* getX11Display(base::core::String& error);

private:
    struct Watch {
        Callback callback;
        bool isTimer;
    };

    void runPostedActions();
    void dispatch(int fd);

    int wakeFd;
    std::atomic<bool> terminated{false};
    base::core::Mutex queueMutex;
    // Two buffers with room reserved, swapped under the lock: posting allocates nothing while fewer
    // actions wait than the room holds.
    std::vector<base::core::SmartPtr<PluginHostAction>> queue;
    std::vector<base::core::SmartPtr<PluginHostAction>> runningBatch;
    std::map<int, Watch> watches;
    base::core::Mutex terminationMutex;
    base::core::ConditionVariable terminationCondition;
    bool running = false;
    std::unique_ptr<X11Display> x11Display;
};

} // namespace plugin
