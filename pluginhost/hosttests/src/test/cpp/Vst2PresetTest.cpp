// VST 2 banks saved and loaded through a real host process with installed plug-ins: one that keeps its
// state in parameters and one that hands the host an opaque chunk.

#include "RemoteHostFixture.h"

#include "plugin/ParameterInfo.h"
#include "plugin/PluginAudioContext.h"
#include "plugin/PluginInstanceState.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

using namespace plugin;
using namespace plugin::test;
using base::core::SmartPtr;

namespace {

std::vector<float> valuesOf(PluginInstanceState* state) {
    std::vector<float> values;
    for (const auto& parameter : state->getParameters())
        values.push_back(parameter->getValue());
    return values;
}

class Vst2PresetRoundTrip : public testing::TestWithParam<const char*> {
protected:
    void TearDown() override { std::filesystem::remove_all(directory); }

    const std::string directory =
        std::filesystem::temp_directory_path() / ("plugin-host-presets-" + std::to_string(getpid()));
};

} // namespace

TEST_P(Vst2PresetRoundTrip, BankOfChangedParametersRestoresThemInFreshInstances) {
    RemoteHost host;
    RemoteInstance source(host, GetParam());
    ASSERT_TRUE(source.context);
    auto& changes = source.context->getParameterChanges();
    const auto& initial = source.reply->getState()->getParameters();
    // Parameters 1 and 2 are continuous in both plug-ins; switches come back rounded from a chunk.
    for (uint16_t i = 1; i <= 2; ++i)
        changes[i - 1] = PluginParameterChange{initial[i]->getValue() > 0.5f ? 0.2f : 0.8f, i, 0};
    changes.setCount(2);
    source.context->startProcessing();
    source.context->processAudio(256, true, false);
    changes.setCount(0);
    SmartPtr<RecordingReplyHandler> handler(new RecordingReplyHandler(host.log));
    host.proxy->updateIO(source.id, handler.get());
    ASSERT_TRUE(host.log.waitFor("reply 3"));
    const std::vector<float> changed =
        valuesOf(dynamic_cast<DefineIoReply&>(*handler->lastReply()).getState());
    ASSERT_NE(changed, valuesOf(source.reply->getState()));

    // The directory does not exist yet: saving makes it.
    const std::string bank = directory + "/banks/changed.fxb";
    host.proxy->savePreset(source.id, bank, handler.get());
    ASSERT_TRUE(host.log.waitFor("reply 1")) << host.log.all().back();

    // Given at creation, the bank is in the state the reply describes.
    host.proxy->createPluginInstance(GetParam(), "", bank, false, handler.get(), nullptr);
    ASSERT_TRUE(host.log.waitFor("reply 0", 2));
    const std::vector<float> restored =
        valuesOf(dynamic_cast<CreatePluginInstanceReply&>(*handler->lastReply()).getState());
    ASSERT_EQ(restored.size(), changed.size());
    // A chunk keeps plain values, which come back through the plug-in's own float conversion.
    for (size_t i = 0; i < restored.size(); ++i)
        EXPECT_NEAR(restored[i], changed[i], 1e-6f) << "parameter " << i;

    // Loaded later, it is followed by exactly one update of every parameter.
    SmartPtr<RecordingListener> listener(new RecordingListener(host.log));
    RemoteInstance target(host, GetParam(), listener.get());
    host.proxy->loadPreset(target.id, bank, handler.get());
    ASSERT_TRUE(host.log.waitFor("reply 2"));
    ASSERT_TRUE(host.log.waitFor("all parameters "));
    usleep(200000);
    EXPECT_EQ(host.log.count("all parameters "), 1u);
}

INSTANTIATE_TEST_SUITE_P(ParametersAndChunk, Vst2PresetRoundTrip,
                         testing::Values("/usr/lib/vst/ZamComp-vst.so",
                                         "/usr/lib/vst/lsp-plugins/compressor-stereo.so"));

TEST(Vst2Preset, SavingWhereNoFileCanBeMadeAnswersTheReasonAndTheHostServesOn) {
    RemoteHost host;
    RemoteInstance instance(host, "/usr/lib/vst/ZamComp-vst.so");
    SmartPtr<RecordingReplyHandler> handler(new RecordingReplyHandler(host.log));
    const std::string directory = std::filesystem::temp_directory_path();
    host.proxy->savePreset(instance.id, directory, handler.get());
    ASSERT_TRUE(host.log.waitFor("error: "));
    EXPECT_EQ(host.log.all().back(), "error: Error saving vst2 preset \"" + directory +
                                         "\": Could not open file \"" + directory +
                                         "\" for writing: Is a directory");
    EXPECT_EQ(host.proxy->ping(), nullptr);
}

// The test automator edits its parameter and asks for a refresh whenever a program is selected, as
// saving and loading a bank do: none of that reaches the client, only the one refresh after the load.
TEST(Vst2Preset, PluginReportsWhileABankMovesStayInTheHost) {
    RemoteHost host;
    SmartPtr<RecordingListener> listener(new RecordingListener(host.log));
    RemoteInstance instance(host, VST2_TESTAUTOMATOR, listener.get());
    SmartPtr<RecordingReplyHandler> handler(new RecordingReplyHandler(host.log));
    const std::string bank = testing::TempDir() + "automator.fxb";
    host.proxy->savePreset(instance.id, bank, handler.get());
    host.proxy->loadPreset(instance.id, bank, handler.get());
    ASSERT_TRUE(host.log.waitFor("reply 2"));
    ASSERT_TRUE(host.log.waitFor("all parameters "));
    usleep(200000);
    EXPECT_EQ(host.log.count("all parameters "), 1u);
    EXPECT_EQ(host.log.count("parameter "), 0u);
    EXPECT_EQ(host.log.count("begin "), 0u);
    std::filesystem::remove(bank);
}
