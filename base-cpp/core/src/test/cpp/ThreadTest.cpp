#include "ProcessTestSupport.h"

#include "base/core/ConditionVariable.h"
#include "base/core/LockGuard.h"
#include "base/core/Mutex.h"
#include "base/core/RecursiveMutex.h"
#include "base/core/SmartPtr.h"
#include "base/core/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <future>
#include <grp.h>
#include <memory>
#include <pthread.h>
#include <sched.h>
#include <string>
#include <sys/resource.h>
#include <thread>

using namespace base::core;
using base::core::test::ForkedChild;
using base::core::test::StderrFile;

namespace {

// What a thread saw about itself while it ran.
struct ThreadRecord {
    std::atomic<bool> ran{false};
    std::string name;
    int policy = -1;
    int priority = -1;
};

class RecordingThread : public Thread {
public:
    RecordingThread(const String& name, int32_t priorityClass, ThreadRecord& record)
        : Thread(name, priorityClass), record(record) {}
    ~RecordingThread() override { join(); }

    void run() override {
        char name[32] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        record.name = name;
        sched_param parameters{};
        pthread_getschedparam(pthread_self(), &record.policy, &parameters);
        record.priority = parameters.sched_priority;
        record.ran = true;
    }

private:
    ThreadRecord& record;
};

// Uses nothing of its own, so that the base destructor may be the one that joins it.
std::promise<void> lateThreadStarted;
std::atomic<bool> lateThreadFinished{false};

class LateThread : public Thread {
public:
    LateThread() : Thread("late", 5) {}

    void run() override {
        lateThreadStarted.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        lateThreadFinished = true;
    }
};

} // namespace

TEST(Thread, BaseDestructorWaitsForRunToReturn) {
    lateThreadStarted = std::promise<void>();
    lateThreadFinished = false;
    std::future<void> started = lateThreadStarted.get_future();
    SmartPtr<Thread> thread(new LateThread());
    thread->start();
    ASSERT_EQ(started.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    thread.reset();
    EXPECT_TRUE(lateThreadFinished);
}

TEST(Thread, RunsUnderItsCutNameAndIsJoinedOnDestruction) {
    ThreadRecord record;
    SmartPtr<Thread> thread(new RecordingThread("RemotePluginHostProxyHandler", 4, record));
    EXPECT_EQ(thread->getState(), 0);
    thread->start();
    EXPECT_EQ(thread->getState(), 1);
    thread.reset();
    // The destructor has joined, so everything run() wrote is there.
    EXPECT_TRUE(record.ran);
    EXPECT_EQ(record.name, "RemotePluginHos");
    EXPECT_EQ(record.policy, SCHED_OTHER);

    ThreadRecord unused;
    SmartPtr<Thread> neverStarted(new RecordingThread("idle", 7, unused));
    neverStarted.reset();
    EXPECT_FALSE(unused.ran);
}

TEST(Thread, NameIsCutWithoutSplittingACharacter) {
    ThreadRecord record;
    // 14 ASCII bytes and a two-byte character that would end at byte 16.
    SmartPtr<Thread> thread(new RecordingThread("abcdefghijklmn\u00e9x", 3, record));
    thread->start();
    thread.reset();
    EXPECT_EQ(record.name, "abcdefghijklmn");
}

TEST(Thread, RealtimeComputationIsHalfThePeriodAtMostThreeMilliseconds) {
    EXPECT_DOUBLE_EQ(getRealtimeComputationTime(256.0 / 44100.0), 128.0 / 44100.0);
    EXPECT_DOUBLE_EQ(getRealtimeComputationTime(512.0 / 44100.0), 0.003);
    EXPECT_DOUBLE_EQ(getRealtimeComputationTime(0.006), 0.003);
}

TEST(Thread, UnprivilegedRealtimeThreadReportsFallbackAndStillRuns) {
    StderrFile captured;
    ASSERT_TRUE(captured.isValid());
    ForkedChild child([&] {
        captured.startCapture();
        const rlimit noRealtime{0, 0};
        if (setrlimit(RLIMIT_RTPRIO, &noRealtime) != 0)
            return 3;
        if (getuid() == 0) {
            const uid_t nobody = 65534;
            if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0)
                return 4;
        }
        THREAD_PROCESSING_PERIOD_IN_SECONDS = 256.0 / 44100.0;
        ThreadRecord record;
        SmartPtr<Thread> thread(new RecordingThread("RemoteAudioThread", 1, record));
        thread->start();
        thread.reset();
        if (!record.ran)
            return 1;
        return record.policy == SCHED_OTHER ? 0 : 2;
    });
    EXPECT_EQ(child.wait(), 0);
    EXPECT_EQ(captured.contents(), "Err or setting realtime priority.\n" + std::to_string(EPERM) + "\n");
}

TEST(Thread, RealtimeClassZeroRanksAboveClassOneWhenPermitted) {
    StderrFile captured;
    ASSERT_TRUE(captured.isValid());
    ThreadRecord classZero;
    ThreadRecord classOne;
    captured.startCapture();
    {
        SmartPtr<Thread> first(new RecordingThread("class0", 0, classZero));
        SmartPtr<Thread> second(new RecordingThread("class1", 1, classOne));
        first->start();
        second->start();
    }
    captured.stopCapture();
    ASSERT_TRUE(classZero.ran);
    ASSERT_TRUE(classOne.ran);
    if (captured.contents().find("Err or setting realtime priority.\n") != std::string::npos)
        GTEST_SKIP() << "real-time scheduling is not permitted here";
    EXPECT_EQ(classZero.policy, SCHED_FIFO);
    EXPECT_EQ(classOne.policy, SCHED_FIFO);
    EXPECT_GT(classZero.priority, classOne.priority);
}

TEST(Locks, MutexTryLockFailsWhileAnotherThreadHoldsIt) {
    Mutex mutex;
    mutex.lock();
    EXPECT_FALSE(std::async(std::launch::async, [&] { return mutex.tryLock(); }).get());
    mutex.unlock();
    EXPECT_TRUE(std::async(std::launch::async, [&] {
                    const bool locked = mutex.tryLock();
                    if (locked)
                        mutex.unlock();
                    return locked;
                }).get());
    EXPECT_FALSE(mutex.isRecursive());
}

TEST(Locks, RecursiveMutexIsHeldUntilUnlockedAsOftenAsLocked) {
    RecursiveMutex mutex;
    EXPECT_TRUE(mutex.isRecursive());
    mutex.lock();
    ASSERT_TRUE(mutex.tryLock());
    auto tryFromOtherThread = [&] {
        return std::async(std::launch::async,
                          [&] {
                              const bool locked = mutex.tryLock();
                              if (locked)
                                  mutex.unlock();
                              return locked;
                          })
            .get();
    };
    mutex.unlock();
    EXPECT_FALSE(tryFromOtherThread());
    mutex.unlock();
    EXPECT_TRUE(tryFromOtherThread());
}

TEST(Locks, BroadcastWakesEveryWaiter) {
    // Shared with the waiters, which are detached if they fail to wake so that the suite goes on.
    struct Shared {
        Mutex mutex;
        ConditionVariable condition;
        bool go = false;
        int woken = 0;
    };
    auto shared = std::make_shared<Shared>();
    constexpr int waiterCount = 3;
    std::vector<std::future<void>> waiters;
    std::atomic<int> waiting{0};
    std::vector<std::thread> threads;
    std::vector<std::promise<void>> done(waiterCount);
    for (int i = 0; i < waiterCount; ++i) {
        waiters.push_back(done[i].get_future());
        threads.emplace_back([shared, &waiting, promise = std::move(done[i])]() mutable {
            {
                LockGuard guard(shared->mutex);
                ++waiting;
                while (!shared->go)
                    shared->condition.wait(shared->mutex);
                ++shared->woken;
            }
            promise.set_value();
        });
    }
    // Waiters that have not reached wait() yet see `go` under the lock instead.
    while (waiting.load() < waiterCount)
        std::this_thread::yield();
    {
        LockGuard guard(shared->mutex);
        shared->go = true;
        shared->condition.broadcast();
    }
    bool allWoke = true;
    for (auto& waiter : waiters)
        allWoke = allWoke && waiter.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
    for (auto& thread : threads) {
        if (allWoke)
            thread.join();
        else
            thread.detach();
    }
    ASSERT_TRUE(allWoke) << "a waiter did not wake";
    LockGuard guard(shared->mutex);
    EXPECT_EQ(shared->woken, waiterCount);
}
