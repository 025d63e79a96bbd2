// Plug-ins that hang, through the real client library and a real host process: every wait of the
// client ends at its deadline with the host's death, and a host whose end has begun is gone within its
// grace period even while a plug-in holds its main thread.

#include "RemoteHostFixture.h"

#include "base/core/IOException.h"
#include "plugin/HostExitWatchdog.h"
#include "plugin/PluginAudioContext.h"

#include <gtest/gtest.h>

#include <future>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>

using namespace plugin;
using namespace plugin::test;
using base::core::SmartPtr;

namespace {

// The stages of TestHangShell, by device id.
const char* const HANG_IN_OPEN = "1";
const char* const HANG_IN_PROCESS = "2";
const char* const HANG_IN_PRESET = "3";
const char* const HANG_IN_CLOSE = "4";

// Short for the suite's sake, with room for what must succeed on a busy machine (a creation).
const RemotePluginHostWatchdog::Deadlines SHORT_DEADLINES{0.3, 1.0, 0.5};
// Enough for any of them, a look of the watchdog and the death of the host.
constexpr double OUTCOME_SECONDS = 2;

// True once `pid` has ended, within `seconds`; leaves it to be reaped by its owner.
bool endsWithin(pid_t pid, double seconds) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    do {
        siginfo_t info{};
        if (waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < limit);
    return false;
}

// What the call that waits on the hung plug-in works with.
struct Hung {
    RemoteHost& host;
    int instanceId;
    PluginAudioContext* context; // the instance's audio block, from its creation reply
    PluginHostAsyncReplyHandler* handler;
};

struct HangCase {
    const char* name;
    const char* deviceId;
    void (*call)(const Hung& hung);
    const char* reason; // how the death report begins
};

const HangCase HANG_CASES[] = {
    {"Open", HANG_IN_OPEN,
     [](const Hung& hung) {
         hung.host.proxy->createPluginInstance(VST2_TESTHANGSHELL, HANG_IN_OPEN, "", false, hung.handler,
                                               nullptr);
     },
     "CreatePluginInstance of instance 1 not answered after "},
    // The fixture's manager maps every thread to the host's audio thread 0.
    {"Process", HANG_IN_PROCESS,
     [](const Hung& hung) {
         hung.context->startProcessing();
         hung.context->processAudio(256, true, false);
     },
     "Process call of instance 1 (256 frames) not answered after "},
    // Preset files of VST 2 do not reach the plug-in yet; a program change does, and holds the main
    // thread while the preset load behind it waits under its own deadline.
    {"Preset", HANG_IN_PRESET,
     [](const Hung& hung) {
         hung.host.proxy->setCurrentProgram(hung.instanceId, 1);
         hung.host.proxy->loadPreset(hung.instanceId, "/tmp/hang.fxp", hung.handler);
     },
     "LoadPreset of instance 1 not answered after "},
    // The destruction has no answer; the next request waits behind it.
    {"Close", HANG_IN_CLOSE,
     [](const Hung& hung) {
         hung.host.proxy->destroyPluginInstance(hung.instanceId);
         hung.host.proxy->ping();
     },
     "Ping not answered after "},
};

void PrintTo(const HangCase& hang, std::ostream* out) {
    *out << hang.name;
}

class HangingPlugin : public testing::TestWithParam<HangCase> {};

} // namespace

TEST_P(HangingPlugin, EndsEveryWaitAtItsDeadlineWithOneDeathReport) {
    const HangCase& hang = GetParam();
    RemoteHost host(1, 256, SHORT_DEADLINES);
    int instanceId = 0;
    PluginAudioContext* context = nullptr;
    SmartPtr<RecordingReplyHandler> created(new RecordingReplyHandler(host.log)); // holds the context
    if (hang.deviceId != HANG_IN_OPEN) {
        instanceId = host.proxy->createPluginInstance(VST2_TESTHANGSHELL, hang.deviceId, "", false,
                                                      created.get(), nullptr);
        ASSERT_TRUE(host.log.waitFor("reply 0", 1, OUTCOME_SECONDS)) << host.hostErrors();
        auto* reply = dynamic_cast<CreatePluginInstanceReply*>(created->lastReply().get());
        ASSERT_TRUE(reply && reply->getAudioContext());
        context = reply->getAudioContext();
    }
    SmartPtr<RecordingReplyHandler> handler(new RecordingReplyHandler(host.log));
    // The message of the IOException that ends the call, or "returned" (the asynchronous ones do).
    auto outcome = std::async(std::launch::async, [&]() -> std::string {
        try {
            hang.call(Hung{host, instanceId, context, handler.get()});
            return "returned";
        } catch (const base::core::IOException& e) {
            return e.getMessage().getStdString();
        }
    });
    // Should the watchdog fail, the blocked call must still return before the test can end.
    struct KillHostAtEnd {
        RemotePluginHostLauncher* launcher;
        ~KillHostAtEnd() { launcher->killHost(); }
    } killHostAtEnd{host.launcher};

    ASSERT_TRUE(host.log.waitFor("died: ", 1, OUTCOME_SECONDS)) << "no death report";
    ASSERT_EQ(outcome.wait_for(std::chrono::duration<double>(OUTCOME_SECONDS)), std::future_status::ready)
        << "the waiting call is still blocked";
    const std::string reason = host.log.all().back().substr(std::string("died: ").size());
    EXPECT_EQ(reason.rfind(hang.reason, 0), 0u) << reason;
    EXPECT_NE(reason.find(" s (deadline "), std::string::npos) << reason;
    // The waiting call, or the handler of the asynchronous request, gets the same reason.
    const std::string seen = outcome.get();
    if (seen == "returned")
        EXPECT_EQ(host.log.count("error: Plugin host died: " + reason), 1u);
    else
        EXPECT_EQ(seen, "Plugin host died: " + reason);
    // Once only, whichever of the watchdog, the waiting call and the reply thread saw it.
    EXPECT_EQ(host.log.count("died: "), 1u);
    ASSERT_TRUE(endsWithin(host.launcher->getPid(), OUTCOME_SECONDS)) << "the host process is still there";
    EXPECT_EQ(host.launcher->waitForExit(), 128 + SIGKILL);
    EXPECT_THROW(host.proxy->ping(), base::core::IOException);
}

INSTANTIATE_TEST_SUITE_P(Stages, HangingPlugin, testing::ValuesIn(HANG_CASES),
                         [](const testing::TestParamInfo<HangCase>& info) { return info.param.name; });

TEST(Deadlines, RequestThatTheHostRanWithoutAnswerDoesNotEndIt) {
    RemoteHost host(1, 256, SHORT_DEADLINES);
    SmartPtr<RecordingReplyHandler> handler(new RecordingReplyHandler(host.log));
    // No instance 77: the host runs the request and never answers it. The answered ping behind it shows
    // that the host is not stuck, so the deadline of the first must not end the host.
    host.proxy->updateIO(77, handler.get());
    host.proxy->ping();
    std::this_thread::sleep_for(std::chrono::duration<double>(SHORT_DEADLINES.requestSeconds * 2));
    EXPECT_EQ(host.proxy->ping(), nullptr);
    EXPECT_EQ(host.log.count("died: "), 0u);
}

namespace {

constexpr double GRACE_OUTCOME_SECONDS = HostExitWatchdog::GRACE_SECONDS + OUTCOME_SECONDS;

// Creates the close-hanging plug-in and destroys it: the host's main thread is then held for good.
bool holdMainThread(RemoteHost& host) {
    SmartPtr<RecordingReplyHandler> handler(new RecordingReplyHandler(host.log));
    const int id = host.proxy->createPluginInstance(VST2_TESTHANGSHELL, HANG_IN_CLOSE, "", false,
                                                    handler.get(), nullptr);
    if (!host.log.waitFor("reply 0", 1, OUTCOME_SECONDS))
        return false;
    host.proxy->destroyPluginInstance(id);
    return true;
}

} // namespace

TEST(HostGracePeriod, ShutdownEndsTheHostWhileAPluginHoldsItsMainThread) {
    RemoteHost host;
    ASSERT_TRUE(holdMainThread(host)) << host.hostErrors();
    // The request alone, every pipe kept open: only the host's own watch can end it.
    SmartPtr<PluginHostRequest> shutdown(new ShutdownRequest(nullptr));
    host.proxy->sendRequest(shutdown.get(), nullptr);
    ASSERT_TRUE(endsWithin(host.launcher->getPid(), GRACE_OUTCOME_SECONDS));
    EXPECT_EQ(host.launcher->waitForExit(), HostExitWatchdog::FORCED_EXIT_STATUS);
    EXPECT_NE(host.hostErrors().find("Plug-in host still running 3 s after a Shutdown request; ending it"),
              std::string::npos)
        << host.hostErrors();
}

TEST(HostGracePeriod, KilledClientLeavesNoHostBehind) {
    // Orphans come to this process, so the host of the killed client can be waited for here.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    int hostPid[2];
    ASSERT_EQ(pipe(hostPid), 0);
    const pid_t client = fork();
    ASSERT_GE(client, 0);
    if (client == 0) {
        // The client: a host holding its main thread in a plug-in, then killed from outside.
        RemoteHost host;
        if (!holdMainThread(host))
            _exit(1);
        const int32_t pid = host.launcher->getPid();
        [[maybe_unused]] ssize_t written = write(hostPid[1], &pid, sizeof pid);
        for (;;)
            pause();
    }
    close(hostPid[1]);
    int32_t host = 0;
    const ssize_t got = read(hostPid[0], &host, sizeof host);
    close(hostPid[0]);
    kill(client, SIGKILL);
    waitpid(client, nullptr, 0);
    ASSERT_EQ(got, static_cast<ssize_t>(sizeof host)) << "the client did not get its host running";
    ASSERT_TRUE(endsWithin(host, GRACE_OUTCOME_SECONDS)) << "the host outlived its client";
    int status = 0;
    ASSERT_EQ(waitpid(host, &status, 0), host);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == HostExitWatchdog::FORCED_EXIT_STATUS) << status;
}
