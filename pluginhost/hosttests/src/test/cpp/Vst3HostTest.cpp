#include "RemoteHostFixture.h"

#include "plugin/PluginInstanceState.h"

#include <gtest/gtest.h>

#include <string>

using namespace plugin;
using namespace plugin::test;
using base::core::SmartPtr;

namespace {

TEST(Vst3Host, EachBundleIsCreatedDescribedAndDestroyedThroughAHostProcess) {
    const struct {
        const char* bundle;
        int inputChannels;
        int outputChannels;
        size_t parameters;
        size_t programs;
    } cases[] = {
        {VST3_TESTVST3SINGLE, 3, 2, 3, 0},
        {VST3_TESTVST3TWOCLASS, 2, 2, 1, 0},
        {VST3_TESTVST3PROGRAMS, 1, 1, 2, 3},
        {VST3_TESTVST3INSTRUMENT, 0, 3, 1, 0},
        {VST3_TESTVST3RUNLOOP, 1, 0, 2, 0},
        // Third-party bundles that no one here wrote (quick to create: some others load presets for seconds).
        {"/usr/lib/vst3/ZamDelay.vst3", 1, 1, 0, 0},
        {"/usr/lib/vst3/ZaMaximX2.vst3", 2, 2, 0, 0},
    };
    RemoteHost host;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bundle);
        RemoteInstance instance(host, c.bundle);
        ASSERT_TRUE(instance.reply) << host.hostErrors();
        EXPECT_EQ(instance.reply->getAudioInChannelCount(), c.inputChannels);
        EXPECT_EQ(instance.reply->getAudioOutChannelCount(), c.outputChannels);
        const PluginInstanceState* state = instance.reply->getState();
        if (c.parameters > 0)
            EXPECT_EQ(state->getParameters().size(), c.parameters);
        else
            EXPECT_FALSE(state->getParameters().empty());
        EXPECT_EQ(state->getPrograms().size(), c.programs);

        SmartPtr<RecordingReplyHandler> io(new RecordingReplyHandler(host.log));
        const size_t before = host.log.count("reply");
        host.proxy->updateIO(instance.id, io.get());
        ASSERT_TRUE(host.log.waitFor("reply", before + 1));
        auto* defined = dynamic_cast<DefineIoReply*>(io->lastReply().get());
        ASSERT_TRUE(defined);
        EXPECT_EQ(defined->getAudioOutChannelCount(), c.outputChannels);
        host.proxy->setCurrentProgram(instance.id, 0);
        host.proxy->destroyPluginInstance(instance.id);
        EXPECT_EQ(host.proxy->ping(), nullptr);
    }
    EXPECT_EQ(host.log.count("error"), 0u) << host.hostErrors();
}

TEST(Vst3Host, DeviceIdOfNoClassIsNotCreatable) {
    RemoteHost host;
    SmartPtr<RecordingReplyHandler> handler(new RecordingReplyHandler(host.log));
    host.proxy->createPluginInstance(VST3_TESTVST3SINGLE, "00000000000000000000000000000001", "", false,
                                     handler.get(), nullptr);
    ASSERT_TRUE(host.log.waitFor("error: "));
    EXPECT_EQ(host.log.all().front(),
              std::string("error: Couldn't instantiate VST plug-in: ") + VST3_TESTVST3SINGLE);
    EXPECT_EQ(host.proxy->ping(), nullptr);
}

TEST(Vst3Host, ProgramChangeReachesThePlugIn) {
    RemoteHost host;
    SmartPtr<RecordingListener> listener(new RecordingListener(host.log));
    RemoteInstance instance(host, VST3_TESTVST3PROGRAMS, listener.get());
    ASSERT_TRUE(instance.reply);
    host.proxy->setCurrentProgram(instance.id, 2);
    // The test plug-in answers a program change by asking the host to re-read its parameters.
    EXPECT_TRUE(host.log.waitFor("all parameters 2")) << host.hostErrors();
}

TEST(Vst3Host, RunLoopServesAPlugInWithoutEditorAndItsEditsArriveAsNotifications) {
    RemoteHost host;
    SmartPtr<RecordingListener> listener(new RecordingListener(host.log));
    RemoteInstance instance(host, VST3_TESTVST3RUNLOOP, listener.get());
    ASSERT_TRUE(instance.reply);
    // Each timer tick edits "Ticks" (index 0) and writes into a pipe whose reader edits "Reads" (index 1).
    EXPECT_TRUE(host.log.waitFor("end 0", 2)) << host.hostErrors();
    EXPECT_TRUE(host.log.waitFor("parameter 1 = "));
    host.proxy->destroyPluginInstance(instance.id);
    EXPECT_EQ(host.proxy->ping(), nullptr);
    // The edit of an id the plug-in does not have sent nothing: every event is about index 0 or 1.
    for (const std::string& event : host.log.all()) {
        const bool aboutKnownParameter = event == "begin 0" || event == "end 0" ||
                                         event.starts_with("parameter 0 = ") ||
                                         event.starts_with("parameter 1 = ");
        EXPECT_TRUE(aboutKnownParameter || event.starts_with("reply")) << event;
    }
}

} // namespace
