// The host process against a client that speaks raw bytes: what happens when the client breaks the
// protocol or closes its pipes.

#include "RemoteHostFixture.h"

#include "base/core/NamedPipe.h"
#include "base/core/NamedPipes.h"
#include "base/core/NamedServerPipe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <utility>

using namespace plugin::test;
using base::core::NamedPipe;
using base::core::NamedServerPipe;
using base::core::SmartPtr;

namespace {

// A host process connected to pipes that the test holds itself.
struct RawHost {
    RawHost() {
        main = mainServer->waitForClientToConnect(nullptr);
        async = asyncServer->waitForClientToConnect(nullptr);
        worker = workerServer->waitForClientToConnect(nullptr);
    }

    SmartPtr<NamedServerPipe> serve(const char* name, bool toClient) {
        const base::core::FilePath path = base::core::getThreadPipePath(hostId, name);
        for (bool direction : {true, false})
            fifos.push_back(base::core::getPipeFilePath(path, direction).toString().getStdString());
        return NamedServerPipe::create(path, toClient, true);
    }
    int execHost() {
        errors.startCapture(); // for good: the host's standard error
        execl(PLUGIN_HOST_EXECUTABLE, PLUGIN_HOST_EXECUTABLE, "host", "44100", "256",
              std::to_string(hostId).c_str(), "1", static_cast<char*>(nullptr));
        return 255;
    }
    // What the host wrote on its standard error so far.
    std::string hostErrors() const { return errors.contents(); }
    void send(std::initializer_list<unsigned char> bytes) {
        for (unsigned char byte : bytes)
            main->getOutputStream()->writeByte(byte);
        main->getOutputStream()->flush();
    }

    const int hostId = nextHostId();
    std::vector<std::string> fifos; // released should the host end before it connects
    base::core::test::StderrFile errors;
    SmartPtr<NamedServerPipe> mainServer = serve("main", true), asyncServer = serve("async-replies", false),
                              workerServer = serve("worker0", true);
    // Its exit status (-1 for a signal); killed at the end, or by its alarm after ten seconds.
    base::core::test::ForkedChild process{[this] { return execHost(); }, fifos, 10};
    SmartPtr<NamedPipe> main, async, worker;
};

} // namespace

TEST(RawHost, EveryWayOfEndingEndsTheHostInOrder) {
    const std::pair<const char*, std::function<void(RawHost&)>> endings[] = {
        {"Shutdown with every pipe held open", [](RawHost& host) { host.send({12}); }},
        {"unknown request type", [](RawHost& host) { host.send({16}); }},
        // As when the client process dies: the kernel closes them all.
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
        EXPECT_EQ(host.process.wait(), 0) << name << ": " << host.hostErrors();
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
        EXPECT_EQ(host.process.wait(), 0) << "run " << run << ": " << host.hostErrors();
    }
}

TEST(RawHost, AudioThreadAnswersUnknownInstancesAndItsLostPipeEndsOnlyItself) {
    RawHost host;
    const unsigned char process[11] = {2, 99, 0, 0, 0, 64, 0, 0, 0, 0, 0};
    host.worker->getOutputStream()->writeBytes(process, sizeof process);
    host.worker->getOutputStream()->writeByte(3); // unknown command bytes are skipped
    host.worker->getOutputStream()->writeBytes(process, sizeof process);
    host.worker->getOutputStream()->flush();
    EXPECT_EQ(host.worker->getInputStream()->readInt32(), 0);
    EXPECT_EQ(host.worker->getInputStream()->readInt32(), 0);

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
    EXPECT_EQ(host.process.wait(), 0);
}
