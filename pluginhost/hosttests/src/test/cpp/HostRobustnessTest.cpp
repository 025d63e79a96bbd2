// What a correct but unlucky, or a careless, client does to a real host process: instances destroyed
// while audio threads use them, oversized blocks, plug-ins that report absurd counts, hosts that die.
// None of it may crash the host, leave a request unanswered, or leave shared memory behind.

#include "RemoteHostFixture.h"

#include "base/core/IOException.h"
#include "base/core/SharedMemory.h"
#include "plugin/PluginAudioContext.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sys/wait.h>
#include <thread>

using namespace plugin;
using namespace plugin::test;
using base::core::SmartPtr;

namespace {

bool sharedBlockExists(int hostId, int instanceId) {
    const std::string path =
        "/dev/shm/" + base::core::getSharedResourceName(getAudioContextName(hostId, instanceId));
    return access(path.c_str(), F_OK) == 0;
}

class StopThenDestroy : public testing::TestWithParam<std::pair<const char*, int>> {};

} // namespace

// Start and stop have no answer, so a client cannot wait for them: the destruction that follows at once
// races the audio thread's stop call, which the host must let finish before it closes the plug-in.
TEST_P(StopThenDestroy, CyclesNeverCrashTheHost) {
    const auto [path, cycles] = GetParam();
    RemoteHost host;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        RemoteInstance instance(host, path);
        ASSERT_TRUE(instance.context) << "cycle " << cycle;
        instance.context->startProcessing();
        instance.process(256);
        instance.context->stopProcessing();
        host.proxy->destroyPluginInstance(instance.id);
    }
    EXPECT_EQ(host.proxy->ping(), nullptr);
    EXPECT_EQ(host.log.count("died"), 0u) << host.hostErrors();
}

INSTANTIATE_TEST_SUITE_P(ReverbEqAndSlowStop, StopThenDestroy,
                         testing::Values(std::make_pair("/usr/lib/vst/MVerb-vst.so", 1000),
                                         std::make_pair("/usr/lib/vst/ZamEQ2-vst.so", 1000),
                                         std::make_pair(VST2_TESTSLOWSTOP, 2000)));

TEST(HostRobustness, DestroyWhileTheAudioChannelKeepsProcessing) {
    RemoteHost host;
    RemoteInstance instance(host, VST2_TESTSLOWSTOP);
    ASSERT_TRUE(instance.context);
    instance.context->startProcessing();
    std::atomic<bool> destroyed{false};
    std::atomic<int> blocksAfterDestruction{0};
    std::thread audio([&] {
        // Every block is answered, before and after the instance goes.
        while (blocksAfterDestruction.load() < 200) {
            const bool after = destroyed.load();
            instance.process(256);
            if (after)
                ++blocksAfterDestruction;
        }
    });
    usleep(20000);
    host.proxy->destroyPluginInstance(instance.id);
    destroyed = true;
    audio.join();
    EXPECT_EQ(host.proxy->ping(), nullptr);
    EXPECT_EQ(host.log.count("died"), 0u) << host.hostErrors();
}

TEST(HostRobustness, ABlockAboveTheBlockSizeIsAnsweredAndNotProcessed) {
    RemoteHost host;
    RemoteInstance instance(host, "/usr/lib/vst/ZamComp-vst.so");
    ASSERT_TRUE(instance.context);
    instance.context->startProcessing();
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
    const std::pair<const char*, const char*> members[] = {
        {"1", "error: The plug-in reports -1000 audio inputs; a count from 0 to 1024 is expected"},
        {"2", "error: The plug-in reports 2147483647 parameters; a count from 0 to 131072 is expected"},
    };
    for (const auto& [deviceId, expected] : members) {
        SmartPtr<RecordingReplyHandler> handler(new RecordingReplyHandler(host.log));
        host.proxy->createPluginInstance(VST2_TESTABSURDCOUNTS, deviceId, "", false, handler.get(), nullptr);
        EXPECT_TRUE(host.log.waitFor(expected)) << host.hostErrors();
    }
    EXPECT_EQ(host.proxy->ping(), nullptr);
}

TEST(HostRobustness, NoSharedBlockOutlivesItsHost) {
    // An orderly end with instances alive: the host closes them and removes their blocks.
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
    // A host that dies removes nothing: the client removes its blocks.
    RemoteHost host;
    RemoteInstance instance(host, "/usr/lib/vst/ZamComp-vst.so");
    const int hostId = host.proxy->getHostId();
    kill(host.launcher->getPid(), SIGKILL);
    ASSERT_TRUE(host.log.waitFor("died: "));
    EXPECT_FALSE(sharedBlockExists(hostId, instance.id));
    // The next block fails with the error instead of a signal that would end the client.
    EXPECT_THROW(instance.process(256), base::core::IOException);
    EXPECT_EQ(host.log.count("died: "), 1u);
}

TEST(HostRobustness, EveryAudioThreadFlushesDenormals) {
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
}
