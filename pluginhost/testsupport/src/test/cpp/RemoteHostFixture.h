#pragma once

// Drives a real `plugin-host host` child process through the real client proxy, and records what the
// client side receives so tests can wait for it (every wait bounded).

#include "PluginHostProcess.h"
#include "ProcessTestSupport.h"

#include "client/RemotePluginHostLauncher.h"
#include "client/RemotePluginHostProxy.h"
#include "client/RemotePluginHostProxyManager.h"
#include "plugin/PluginHostNotificationListener.h"
#include "plugin/PluginHostNotifications.h"
#include "plugin/PluginHostReplies.h"
#include "plugin/PluginHostRequests.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace plugin::test {

// A place where other threads record events and the test waits for them.
class EventLog {
public:
    void add(const std::string& event) {
        std::lock_guard<std::mutex> lock(mutex);
        events.push_back(event);
        changed.notify_all();
    }
    // True when `count` events matching `prefix` arrived within the time.
    bool waitFor(const std::string& prefix, size_t count = 1, double seconds = 2) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::duration<double>(seconds),
                                [&] { return countLocked(prefix) >= count; });
    }
    size_t count(const std::string& prefix) {
        std::lock_guard<std::mutex> lock(mutex);
        return countLocked(prefix);
    }
    std::vector<std::string> all() {
        std::lock_guard<std::mutex> lock(mutex);
        return events;
    }

private:
    size_t countLocked(const std::string& prefix) const {
        size_t n = 0;
        for (const auto& event : events)
            n += event.rfind(prefix, 0) == 0;
        return n;
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> events;
};

class RecordingManager : public RemotePluginHostProxyManager {
public:
    explicit RecordingManager(EventLog& log) : log(log) {}
    void remotePluginHostDied(RemotePluginHostProxy*, const base::core::String& message, bool) override {
        log.add("died: " + message.getStdString());
    }
    // The client audio thread that the calling thread stands for: 0 unless a test thread chose another.
    static inline thread_local int audioThreadIndex = 0;
    int getAudioThreadIdForCurrentThread() override { return audioThreadIndex; }

private:
    EventLog& log;
};

class RecordingReplyHandler : public PluginHostAsyncReplyHandler {
public:
    explicit RecordingReplyHandler(EventLog& log) : log(log) {}
    void replyCanceled() override { log.add("canceled"); }
    void handleReply(PluginHostReply* reply) override {
        last = reply;
        log.add("reply " + std::to_string(reply->getReplyType())); // publishes `last` to the waiting test
    }
    void handleError(const base::core::String& message) override {
        log.add("error: " + message.getStdString());
    }

    // The last reply; read it once the log has shown it.
    base::core::SmartPtr<PluginHostReply> lastReply() const { return last; }

private:
    EventLog& log;
    base::core::SmartPtr<PluginHostReply> last;
};

class RecordingListener : public PluginHostNotificationListener {
public:
    explicit RecordingListener(EventLog& log) : log(log) {}
    void onUpdateAllParameters(UpdateAllParametersNotification* n) override {
        log.add("all parameters " + std::to_string(n->getState()->getParameters().size()));
    }
    void onUpdateParameter(UpdateParameterNotification* n) override {
        log.add("parameter " + std::to_string(n->getIndex()) + " = " + std::to_string(n->getValue()));
    }
    void onUpdateParameterDisplay(UpdateParameterDisplayNotification*) override {} // checked in-process
    void onBeginOrEndEditParameter(BeginOrEndEditParameterNotification* n) override {
        log.add(std::string(n->isBegin() ? "begin " : "end ") + std::to_string(n->getIndex()));
    }
    void onPluginWindowMoved(PluginWindowMovedNotification* n) override {
        log.add("moved " + std::to_string(n->getX()) + " " + std::to_string(n->getY()) + " " +
                std::to_string(n->getWidth()) + " " + std::to_string(n->getHeight()));
    }
    void onPluginWindowClosed(PluginWindowClosedNotification*) override { log.add("closed"); }

private:
    EventLog& log;
};

// A unique host id per process and call, so parallel test runs never share pipes.
inline int nextHostId() {
    static std::atomic<int> counter{0};
    return (getpid() % 100000) * 100 + counter++;
}

// True once `pid` has ended, within `seconds`; leaves it to be reaped by its owner.
inline bool endsWithin(pid_t pid, double seconds = 2) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    do {
        siginfo_t info{};
        if (waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < limit);
    return false;
}

struct RemoteHost {
    explicit RemoteHost(int audioThreads = 1, int blockSize = 256,
                        const RemotePluginHostWatchdog::Deadlines& deadlines = {},
                        int hostId = nextHostId()) {
        RemotePluginHostLauncher::Settings settings;
        settings.executable = PLUGIN_HOST_EXECUTABLE;
        settings.hostId = hostId;
        settings.audioThreadCount = audioThreads;
        settings.blockSize = blockSize;
        settings.deadlines = deadlines;
        // The host inherits standard error: point it at a file for the time of the launch.
        // Should the launch throw, the members' destruction stops the capture.
        errors.startCapture();
        proxy = RemotePluginHostLauncher::connect(settings, manager.get(), &launcher);
        errors.stopCapture();
    }
    ~RemoteHost() { proxy.reset(); }

    // What the host wrote on its standard error so far.
    std::string hostErrors() const { return errors.contents(); }
    base::core::SmartPtr<RecordingReplyHandler> handler() { return new RecordingReplyHandler(log); }

    base::core::test::StderrFile errors;
    EventLog log;
    base::core::SmartPtr<RecordingManager> manager{new RecordingManager(log)};
    base::core::SmartPtr<RecordingListener> listener{new RecordingListener(log)}; // of every RemoteInstance
    RemotePluginHostLauncher* launcher = nullptr;
    base::core::SmartPtr<RemotePluginHostProxy> proxy;
};

// An instance created through the host, with the client's view of its audio block.
struct RemoteInstance {
    RemoteInstance(RemoteHost& host, const char* path, const char* deviceId = "",
                   const std::string& preset = "")
        : host(host) {
        const size_t repliesBefore = host.log.count("reply 0");
        const auto handler = host.handler();
        id = host.proxy->createPluginInstance(path, deviceId, preset, false, handler.get(),
                                              host.listener.get());
        EXPECT_TRUE(host.log.waitFor("reply 0", repliesBefore + 1)) << host.hostErrors();
        reply = dynamic_cast<CreatePluginInstanceReply*>(handler->lastReply().get());
        if (reply)
            context = reply->getAudioContext();
    }
    // Clears the lists the client owns, then processes one block.
    int process(int frames) {
        context->getInputEvents().setCount(0);
        context->getOutputEvents().setCount(0);
        context->getParameterChanges().setCount(0);
        return context->processAudio(static_cast<unsigned int>(frames), true, false);
    }

    RemoteHost& host;
    int id = 0;
    base::core::SmartPtr<CreatePluginInstanceReply> reply;
    PluginAudioContext* context = nullptr;
};

} // namespace plugin::test
