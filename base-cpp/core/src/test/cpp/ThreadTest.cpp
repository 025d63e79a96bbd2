#include "ProcessTestSupport.h"

#include "base/core/SmartPtr.h"
#include "base/core/Thread.h"

#include <cerrno>
#include <pthread.h>
#include <sched.h>

using namespace base::core;
using namespace base::core::test;

namespace {

// Records what it saw about itself while it ran.
class RecordingThread : public Thread {
public:
    using Thread::Thread;
    ~RecordingThread() override { join(); }
    void run() override {
        char buffer[32] = {};
        pthread_getname_np(pthread_self(), buffer, sizeof buffer);
        seenName = buffer;
        sched_param parameters{};
        pthread_getschedparam(pthread_self(), &policy, &parameters);
        priority = parameters.sched_priority;
    }

    std::string seenName;
    int policy = -1;
    int priority = -1;
};

SmartPtr<RecordingThread> startedAndJoined(const String& name, int32_t priorityClass) {
    SmartPtr<RecordingThread> thread(new RecordingThread(name, priorityClass));
    thread->start();
    thread->join();
    return thread;
}

// Uses nothing of its own, so that the base destructor is the one that joins it.
std::atomic<bool> lateThreadStarted{false}, lateThreadFinished{false};

class LateThread : public Thread {
public:
    LateThread() : Thread("late", 5) {}
    void run() override {
        lateThreadStarted = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        lateThreadFinished = true;
    }
};

} // namespace

// Names are cut to the system's 15 bytes without splitting a character.
TEST(Thread, RunsUnderItsCutNameAndIsJoinedOnDestruction) {
    for (const auto& [name, shown] : {std::pair{"RemotePluginHostProxyHandler", "RemotePluginHos"},
                                      {"abcdefghijklmn\u00e9x", "abcdefghijklmn"}}) {
        SmartPtr<RecordingThread> thread(new RecordingThread(name, 4));
        EXPECT_EQ(thread->getState(), 0);
        thread->start();
        EXPECT_EQ(thread->getState(), 1);
        thread->join();
        EXPECT_EQ(thread->seenName, shown);
        EXPECT_EQ(thread->policy, SCHED_OTHER);
    }

    SmartPtr<Thread> late(new LateThread());
    late->start();
    // Destroyed only once run() has begun: before, the thread would call a destroyed object's run().
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!lateThreadStarted && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    late.reset();
    EXPECT_TRUE(lateThreadFinished);
}

// Where real-time scheduling is permitted, classes 0 and 1 get SCHED_FIFO, 0 above 1. Without permission (no
// RLIMIT_RTPRIO, not root) a real-time thread reports the fallback and still runs.
TEST(Thread, RealtimeClasses) {
    StderrFile captured;
    captured.startCapture();
    SmartPtr<RecordingThread> classZero = startedAndJoined("class0", 0),
                              classOne = startedAndJoined("class1", 1);
    if (captured.finish().empty()) {
        EXPECT_EQ(classZero->policy, SCHED_FIFO);
        EXPECT_EQ(classOne->policy, SCHED_FIFO);
        EXPECT_GT(classZero->priority, classOne->priority);
    }

    StderrFile fallback;
    ForkedChild child([&] {
        fallback.startCapture();
        const rlimit noRealtime{0, 0};
        if (setrlimit(RLIMIT_RTPRIO, &noRealtime) != 0 || (getuid() == 0 && !becomeUser(65534)))
            return 3;
        THREAD_PROCESSING_PERIOD_IN_SECONDS = 256.0 / 44100.0;
        return startedAndJoined("RemoteAudioThread", 1)->policy == SCHED_OTHER ? 0 : 1;
    });
    EXPECT_EQ(child.wait(), 0);
    EXPECT_EQ(fallback.contents(), "Err or setting realtime priority.\n" + std::to_string(EPERM) + "\n");
}
