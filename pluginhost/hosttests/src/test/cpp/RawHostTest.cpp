// The host process against a client that speaks raw bytes: what happens when the client breaks the
// protocol, closes its pipes or dies.

#include "PluginHostProcess.h"
#include "RemoteHostFixture.h"

#include "base/core/ChildProcess.h"
#include "base/core/IOException.h"
#include "base/core/NamedPipe.h"
#include "base/core/NamedPipes.h"
#include "base/core/NamedServerPipe.h"
#include "base/core/StringBuilder.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>

using namespace plugin::test;
using base::core::NamedPipe;
using base::core::NamedServerPipe;
using base::core::SmartPtr;
using base::core::String;
using base::core::StringBuilder;

namespace {

// Waits up to `seconds` for `pid` to end; its exit status, or -2 on a time-out (then it is killed).
int waitForExitWithin(pid_t pid, double seconds) {
    for (int waited = 0; waited < seconds * 100; ++waited) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -2;
}

// A host process connected to pipes that the test holds itself.
struct RawHost {
    RawHost() {
        const int hostId = nextHostId();
        mainServer = NamedServerPipe::create(base::core::getThreadPipePath(hostId, "main"), true, true);
        asyncServer =
            NamedServerPipe::create(base::core::getThreadPipePath(hostId, "async-replies"), false, true);
        workerServer = NamedServerPipe::create(base::core::getThreadPipePath(hostId, "worker0"), true, true);
        pid = fork();
        if (pid == 0) {
            errors.startCapture(); // for good: the host's standard error
            execl(PLUGIN_HOST_EXECUTABLE, PLUGIN_HOST_EXECUTABLE, "host", "44100", "256",
                  std::to_string(hostId).c_str(), "1", static_cast<char*>(nullptr));
            _exit(255);
        }
        main = mainServer->waitForClientToConnect(nullptr);
        async = asyncServer->waitForClientToConnect(nullptr);
        worker = workerServer->waitForClientToConnect(nullptr);
    }
    ~RawHost() {
        if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

    // What the host wrote on its standard error so far.
    std::string hostErrors() const { return errors.contents(); }

    void send(std::initializer_list<unsigned char> bytes) {
        for (unsigned char byte : bytes)
            main->getOutputStream()->writeByte(byte);
        main->getOutputStream()->flush();
    }
    int exitStatus() {
        const int status = waitForExitWithin(pid, 4);
        pid = 0;
        return status;
    }

    pid_t pid = 0;
    base::core::test::StderrFile errors;
    SmartPtr<NamedServerPipe> mainServer, asyncServer, workerServer;
    SmartPtr<NamedPipe> main, async, worker;
};

} // namespace

TEST(RawHost, EveryWayOfEndingEndsTheHostInOrder) {
    const std::pair<const char*, std::function<void(RawHost&)>> endings[] = {
        {"Shutdown with every pipe held open", [](RawHost& host) { host.send({12}); }},
        {"unknown request type", [](RawHost& host) { host.send({16}); }},
        {"truncated request, then the end of the stream",
         [](RawHost& host) {
             host.send({7, 1, 0}); // SetCurrentProgram with half an instance id
             host.main->getOutputStream()->close();
         }},
        {"every client pipe closed",
         [](RawHost& host) {
             for (const auto& pipe : {host.main, host.async, host.worker}) {
                 if (pipe->getOutputStream())
                     pipe->getOutputStream()->close();
                 if (pipe->getInputStream())
                     pipe->getInputStream()->close();
             }
         }},
    };
    for (const auto& [name, end] : endings) {
        RawHost host;
        end(host);
        EXPECT_EQ(host.exitStatus(), 0) << name << ": " << host.hostErrors();
    }
}

TEST(RawHost, RandomBytesOnTheMainPipeNeverCrashTheHost) {
    // Whatever a client writes, the host answers or ends in order; never by a signal.
    std::mt19937 random(20261206);
    for (int run = 0; run < 60; ++run) {
        RawHost host;
        const int length = 1 + static_cast<int>(random() % 48);
        for (int i = 0; i < length; ++i) {
            // Mostly request types and small numbers, so that requests get far into their bodies.
            const auto byte = static_cast<unsigned char>(random() % 4 == 0 ? random() % 256 : random() % 17);
            host.main->getOutputStream()->writeByte(byte);
        }
        host.main->getOutputStream()->close();
        EXPECT_EQ(host.exitStatus(), 0) << "run " << run << ": " << host.hostErrors();
    }
}

TEST(RawHost, AudioCommandForAnUnknownInstanceIsStillAnswered) {
    RawHost host;
    const unsigned char process[11] = {2, 99, 0, 0, 0, 64, 0, 0, 0, 0, 0};
    host.worker->getOutputStream()->writeBytes(process, sizeof process);
    host.worker->getOutputStream()->writeByte(3); // unknown command bytes are skipped
    host.worker->getOutputStream()->writeBytes(process, sizeof process);
    host.worker->getOutputStream()->flush();
    EXPECT_EQ(host.worker->getInputStream()->readInt32(), 0);
    EXPECT_EQ(host.worker->getInputStream()->readInt32(), 0);
    host.send({12});
    EXPECT_EQ(host.exitStatus(), 0);
}

TEST(RawHost, LosingAWorkerPipeEndsOnlyItsAudioThread) {
    RawHost host;
    host.worker->getOutputStream()->close();
    host.worker->getInputStream()->close();
    // The control channel keeps working; poll it until the audio thread has reported.
    for (int attempt = 0; attempt < 200 && host.hostErrors().empty(); ++attempt) {
        host.send({13});
        EXPECT_EQ(host.main->getInputStream()->readByte(), 1);
        usleep(10000);
    }
    const std::string errors = host.hostErrors();
    EXPECT_EQ(errors.rfind("Lost connection on audio thread: ", 0), 0u) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    host.send({12});
    EXPECT_EQ(host.exitStatus(), 0);
}

TEST(RawHost, DeathOfTheClientProcessEndsTheHost) {
    // The test adopts the orphaned host, so it can see how the host ended.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t client = fork();
    if (client == 0) {
        close(report[0]);
        RawHost host;
        const pid_t hostPid = host.pid;
        [[maybe_unused]] ssize_t n = write(report[1], &hostPid, sizeof hostPid);
        _exit(0); // dies with every pipe still open; the kernel closes them
    }
    close(report[1]);
    pid_t hostPid = 0;
    pollfd fd{report[0], POLLIN, 0};
    ASSERT_EQ(poll(&fd, 1, 2000), 1);
    ASSERT_EQ(read(report[0], &hostPid, sizeof hostPid), static_cast<ssize_t>(sizeof hostPid));
    close(report[0]);
    waitpid(client, nullptr, 0);
    EXPECT_EQ(waitForExitWithin(hostPid, 4), 0);
    prctl(PR_SET_CHILD_SUBREAPER, 0);
}
