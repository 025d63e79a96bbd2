// What a correct but unlucky, or a careless, client does to a real host process: instances destroyed
// while audio threads use them, oversized blocks, hosts that crash or end. None of it may crash the host,
// leave a request unanswered, or leave shared memory behind.

#include "RemoteHostFixture.h"

#include "base/core/IOException.h"
#include "base/core/SharedMemory.h"
#include "plugin/PluginAudioContext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using namespace plugin;
using namespace plugin::test;
using base::core::IOException;
using base::core::SmartPtr;

namespace {

bool sharedBlockExists(int hostId, int instanceId) {
    const std::string path =
        "/dev/shm/" + base::core::getSharedResourceName(getAudioContextName(hostId, instanceId));
    return access(path.c_str(), F_OK) == 0;
}

} // namespace

// Start and stop have no answer, so a client cannot wait for them: the destruction that follows at once
// races the audio thread's stop call, which the host must let finish before it closes the plug-in. The test
// plug-in's stop is slow, and it aborts on a call that overlaps another or follows its close.
TEST(HostRobustness, StopThenDestroyCyclesNeverCrashTheHost) {
    RemoteHost host;
    for (int cycle = 0; cycle < 2000; ++cycle) {
        RemoteInstance instance(host, VST2_TESTSLOWSTOP);
        ASSERT_TRUE(instance.context) << "cycle " << cycle;
        instance.context->startProcessing();
        instance.process(256);
        instance.context->stopProcessing();
        host.proxy->destroyPluginInstance(instance.id);
    }
    EXPECT_EQ(host.proxy->ping(), nullptr);
    EXPECT_EQ(host.log.count("died"), 0u) << host.hostErrors();
}

TEST(HostRobustness, EveryAudioThreadFlushesDenormalsAndAnswersABlockAboveTheBlockSizeUnprocessed) {
    RemoteHost host(2);
    RemoteInstance instance(host, VST2_TESTFLOATMODE);
    ASSERT_TRUE(instance.context);
    instance.context->startProcessing();
    for (int index : {0, 1}) {
        std::thread client([&] {
            RecordingManager::audioThreadIndex = index;
            instance.process(256);
        });
        client.join();
        const float* output = instance.context->getOutputChannel(0);
        EXPECT_EQ(output[0], 1.0f) << "flush-to-zero off on audio thread " << index;
        EXPECT_EQ(output[1], 1.0f) << "denormals-are-zero off on audio thread " << index;
    }
    for (int frames : {257, 4096, 100000})
        EXPECT_EQ(instance.process(frames), 0);
    EXPECT_TRUE(instance.context->guardsIntact());
    EXPECT_EQ(host.proxy->ping(), nullptr);
    const std::string errors = host.hostErrors();
    EXPECT_NE(errors.find("Refused to process 100000 frames for instance " + std::to_string(instance.id) +
                          ": the block size is 256\n"),
              std::string::npos)
        << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 3) << errors;
}

TEST(HostRobustness, AbsurdPluginCountsFailTheCreationWithAMessage) {
    RemoteHost host;
    const std::vector<std::string> expected = {
        "error: The plug-in reports -1000 audio inputs; a count from 0 to 1024 is expected",
        "error: The plug-in reports 2147483647 parameters; a count from 0 to 131072 is expected",
    };
    for (const char* deviceId : {"1", "2"}) {
        const auto handler = host.handler();
        host.proxy->createPluginInstance(VST2_TESTABSURDCOUNTS, deviceId, "", false, handler.get(), nullptr);
    }
    EXPECT_TRUE(host.log.waitFor("error: ", 2)) << host.hostErrors();
    EXPECT_EQ(host.log.all(), expected);
    EXPECT_EQ(host.proxy->ping(), nullptr);
}

// A plug-in that crashes takes only its host along: the client reports one death, fails the request that
// was pending and every later call with an error (never a signal), and removes the blocks the host left.
TEST(HostRobustness, CrashingPluginKillsOnlyTheHost) {
    RemoteHost host;
    RemoteInstance crasher(host, VST2_TESTCRASHER);
    ASSERT_TRUE(crasher.context);
    const int hostId = host.proxy->getHostId();
    ASSERT_TRUE(sharedBlockExists(hostId, crasher.id));
    // The hang shell's first member never finishes opening, so the creation is pending whatever the timing.
    const auto pending = host.handler();
    const int pendingId =
        host.proxy->createPluginInstance(VST2_TESTHANGSHELL, "1", "", false, pending.get(), nullptr);
    crasher.context->startProcessing();
    EXPECT_THROW(crasher.process(256), IOException);
    ASSERT_TRUE(host.log.waitFor("died: "));
    EXPECT_THROW(crasher.process(256), IOException);
    EXPECT_THROW(host.proxy->ping(), IOException);
    EXPECT_EQ(host.log.count("died: "), 1u);
    EXPECT_EQ(host.log.count("error: Plugin host died: "), 1u);
    EXPECT_EQ(host.log.count("reply"), 1u) << "only the crasher's creation is answered";
    EXPECT_FALSE(sharedBlockExists(hostId, crasher.id));
    EXPECT_FALSE(sharedBlockExists(hostId, pendingId));
    EXPECT_NE(host.launcher->waitForExit(), 0);
}

TEST(HostRobustness, ShutdownEndsTheHostInOrderAndTheHostRemovesItsBlocks) {
    {
        RemoteHost host;
        RemoteInstance instance(host, "/usr/lib/vst/ZamComp-vst.so");
        const int hostId = host.proxy->getHostId();
        ASSERT_TRUE(sharedBlockExists(hostId, instance.id));
        // The bare request: the proxy's own shutdown() would remove the blocks on the client side as well.
        SmartPtr<PluginHostRequest> shutdown(new ShutdownRequest(nullptr));
        host.proxy->sendRequest(shutdown.get(), nullptr);
        EXPECT_EQ(host.launcher->waitForExit(), 0);
        EXPECT_FALSE(sharedBlockExists(hostId, instance.id));
    }
    RemoteHost host;
    host.proxy->shutdown();
    EXPECT_EQ(host.launcher->waitForExit(), 0);
    EXPECT_TRUE(host.proxy->hasDied());
    // A second shutdown only meets the lost connection, quietly; an ordered end is no death.
    host.proxy->shutdown();
    EXPECT_EQ(host.log.count("died"), 0u);
}
