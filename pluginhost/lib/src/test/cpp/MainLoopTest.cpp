#include "linux/MainLoop.h"
#include "base/core/IOException.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginHostAction.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace plugin;
using base::core::SmartPtr;

namespace {

struct FunctionAction : PluginHostAction {
    explicit FunctionAction(std::function<void()> body) : body(std::move(body)) {}
    void run() override { body(); }
    std::function<void()> body;
};

} // namespace

TEST(PluginHost, ActionsRunInPostingOrderAndOneThatThrowsIsReportedWithTheLoopGoingOnUntilShutdown) {
    PluginHost host(44100, 256);
    constexpr int THREADS = 4, PER_THREAD = 500;
    std::vector<std::pair<int, int>> seen; // (thread, sequence), touched only on the main thread
    std::atomic<int> postersDone{0};
    std::atomic<bool> offMainThread{false};
    bool postedWhileHeld = false, ranAfter = false;
    // The first action holds the main thread until every poster is done: posting never waits for it.
    host.getMainLoop().post(new FunctionAction([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (postersDone < THREADS && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        postedWhileHeld = postersDone == THREADS;
    }));
    std::vector<std::thread> posters;
    std::thread stopper;
    for (int t = 0; t < THREADS; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < PER_THREAD; ++i) {
                host.execOnMainThread(new FunctionAction([&, t, i] {
                    offMainThread = offMainThread || !host.isMainThread();
                    seen.emplace_back(t, i);
                }));
            }
            if (t == 0) {
                host.execOnMainThread(
                    new FunctionAction([] { throw base::core::IOException("disk on fire"); }));
                host.execOnMainThread(new FunctionAction([] { throw 7; }));
            }
            if (++postersDone == THREADS) {
                host.execOnMainThread(new FunctionAction([&] {
                    ranAfter = true;
                    // From another thread, and twice: the loop ends all the same.
                    stopper = std::thread([&] {
                        host.shutdown();
                        host.shutdown();
                    });
                }));
            }
        });
    }
    testing::internal::CaptureStderr();
    host.getMainLoop().run();
    for (auto& poster : posters)
        poster.join();
    stopper.join();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Uncaught exception on main thread: disk on fire\nUncaught exception on main thread\n");
    EXPECT_TRUE(postedWhileHeld);
    EXPECT_TRUE(ranAfter);
    EXPECT_FALSE(offMainThread);
    ASSERT_EQ(seen.size(), static_cast<size_t>(THREADS * PER_THREAD));
    std::vector<int> next(THREADS, 0);
    for (auto [thread, sequence] : seen)
        ASSERT_EQ(sequence, next[thread]++) << "thread " << thread << " ran out of order";
}

TEST(PluginHost, HostWhoseParentExitsShutsDownByItself) {
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t middle = fork();
    ASSERT_GE(middle, 0);
    if (middle == 0) {
        if (fork() == 0) {
            // The host process: its parent (the middle process) exits at once.
            close(report[0]);
            PluginHost host(44100, 256);
            host.getMainLoop().run();
            const char done = 'x';
            [[maybe_unused]] ssize_t n = write(report[1], &done, 1);
            _exit(0);
        }
        usleep(100 * 1000);
        _exit(0);
    }
    close(report[1]);
    int status = 0;
    waitpid(middle, &status, 0);
    pollfd fd{report[0], POLLIN, 0};
    ASSERT_EQ(poll(&fd, 1, 2000), 1) << "the orphaned host did not shut down";
    char done = 0;
    EXPECT_EQ(read(report[0], &done, 1), 1);
    EXPECT_EQ(done, 'x');
    close(report[0]);
}
