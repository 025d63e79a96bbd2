// Plug-ins that hang, through the real client library and a real host process: every wait of the
// client ends at its deadline with the host's death, and a host whose end has begun is gone within its
// grace period even while a plug-in holds its main thread.

#include "RemoteHostFixture.h"

#include "base/core/IOException.h"
#include "plugin/HostExitWatchdog.h"
#include "plugin/PluginAudioContext.h"

#include <gtest/gtest.h>

#include <future>
#include <optional>
#include <sys/prctl.h>

using namespace plugin;
using namespace plugin::test;
using base::core::SmartPtr;

namespace {

// Short for the suite's sake, with room for what must succeed on a busy machine (a creation).
const RemotePluginHostWatchdog::Deadlines SHORT_DEADLINES{0.3, 1.0, 0.5};
// Enough for any of them, a look of the watchdog and the death of the host.
constexpr double OUTCOME_SECONDS = 2;

struct HangCase {
    const char* name;
    const char* deviceId; // the stage of TestHangShell that hangs
    // The call that waits on the hung plug-in, created before unless it hangs in its creation.
    void (*call)(RemoteHost& host, RemoteInstance* hung, PluginHostAsyncReplyHandler* handler);
    const char* reason; // how the death report begins
};

const HangCase HANG_CASES[] = {
    {"Open", "1",
     [](RemoteHost& host, RemoteInstance*, PluginHostAsyncReplyHandler* handler) {
         host.proxy->createPluginInstance(VST2_TESTHANGSHELL, "1", "", false, handler, nullptr);
     },
     "CreatePluginInstance of instance 1 not answered after "},
    // The fixture's manager maps every thread to the host's audio thread 0.
    {"Process", "2",
     [](RemoteHost&, RemoteInstance* hung, PluginHostAsyncReplyHandler*) {
         hung->context->startProcessing();
         hung->context->processAudio(256, true, false);
     },
     "Process call of instance 1 (256 frames) not answered after "},
    // Preset files of VST 2 do not reach the plug-in yet; a program change does, and holds the main
    // thread while the preset load behind it waits under its own deadline.
    {"Preset", "3",
     [](RemoteHost& host, RemoteInstance* hung, PluginHostAsyncReplyHandler* handler) {
         host.proxy->setCurrentProgram(hung->id, 1);
         host.proxy->loadPreset(hung->id, "/tmp/hang.fxp", handler);
     },
     "LoadPreset of instance 1 not answered after "},
    // The destruction has no answer; the next request waits behind it.
    {"Close", "4",
     [](RemoteHost& host, RemoteInstance* hung, PluginHostAsyncReplyHandler*) {
         host.proxy->destroyPluginInstance(hung->id);
         host.proxy->ping();
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
    std::optional<RemoteInstance> hung;
    if (hang.name != std::string("Open")) {
        hung.emplace(host, VST2_TESTHANGSHELL, hang.deviceId);
        ASSERT_TRUE(hung->context);
    }
    const auto handler = host.handler();
    // The message of the IOException that ends the call, or "returned" (the asynchronous ones do).
    auto outcome = std::async(std::launch::async, [&]() -> std::string {
        try {
            hang.call(host, hung ? &*hung : nullptr, handler.get());
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
    const auto handler = host.handler();
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
    RemoteInstance hung(host, VST2_TESTHANGSHELL, "4"); // hangs in its close
    if (hung.context)
        host.proxy->destroyPluginInstance(hung.id);
    return hung.context != nullptr;
}

} // namespace

// Told to shut down, or left by its killed client, a host whose main thread a plug-in holds ends by its own
// watch once the grace period is over. Both at once, for the suite's time.
TEST(HostGracePeriod, EndsAHostWhoseMainThreadAPluginHolds) {
    // Orphans come to this process, so the host of the killed client can be waited for here.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    int hostPid[2];
    ASSERT_EQ(pipe(hostPid), 0);
    const pid_t client = fork();
    ASSERT_GE(client, 0);
    if (client == 0) {
        RemoteHost host;
        if (!holdMainThread(host))
            _exit(1);
        const int32_t pid = host.launcher->getPid();
        [[maybe_unused]] ssize_t written = write(hostPid[1], &pid, sizeof pid);
        for (;;)
            pause();
    }
    close(hostPid[1]);
    RemoteHost host;
    const bool held = holdMainThread(host);
    // The request alone, every pipe kept open: only the host's own watch can end it.
    SmartPtr<PluginHostRequest> shutdown(new ShutdownRequest(nullptr));
    host.proxy->sendRequest(shutdown.get(), nullptr);
    int32_t orphan = 0;
    const ssize_t got = read(hostPid[0], &orphan, sizeof orphan);
    close(hostPid[0]);
    kill(client, SIGKILL);
    waitpid(client, nullptr, 0);
    ASSERT_TRUE(held) << host.hostErrors();
    ASSERT_EQ(got, static_cast<ssize_t>(sizeof orphan)) << "the client did not get its host running";
    ASSERT_TRUE(endsWithin(host.launcher->getPid(), GRACE_OUTCOME_SECONDS));
    EXPECT_EQ(host.launcher->waitForExit(), HostExitWatchdog::FORCED_EXIT_STATUS);
    EXPECT_NE(host.hostErrors().find("Plug-in host still running 3 s after a Shutdown request; ending it"),
              std::string::npos)
        << host.hostErrors();
    ASSERT_TRUE(endsWithin(orphan, GRACE_OUTCOME_SECONDS)) << "the host outlived its client";
    int status = 0;
    ASSERT_EQ(waitpid(orphan, &status, 0), orphan);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == HostExitWatchdog::FORCED_EXIT_STATUS) << status;
}
