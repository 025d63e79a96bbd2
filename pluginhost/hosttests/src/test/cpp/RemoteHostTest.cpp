// Parameters, banks and the plug-ins' own edits through a real host process and the client library.

#include "RemoteHostFixture.h"

#include "plugin/ParameterInfo.h"
#include "plugin/PluginAudioContext.h"
#include "plugin/PluginInstanceState.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

using namespace plugin;
using namespace plugin::test;

namespace {

std::vector<float> valuesOf(PluginInstanceState* state) {
    std::vector<float> values;
    for (const auto& parameter : state->getParameters())
        values.push_back(parameter->getValue());
    return values;
}

// One installed VST 2 plug-in that keeps its state in parameters and one that hands the host an opaque chunk.
class Vst2PresetRoundTrip : public testing::TestWithParam<const char*> {
protected:
    void TearDown() override { std::filesystem::remove_all(directory); }

    const std::string directory =
        std::filesystem::temp_directory_path() / ("plugin-host-presets-" + std::to_string(getpid()));
};

} // namespace

TEST_P(Vst2PresetRoundTrip, ChangedParametersReachThePluginAndComeBackFromABank) {
    RemoteHost host;
    RemoteInstance source(host, GetParam());
    ASSERT_TRUE(source.context);
    auto& changes = source.context->getParameterChanges();
    const auto& initial = source.reply->getState()->getParameters();
    // Parameters 1 and 2 are continuous in both plug-ins; switches come back rounded from a chunk.
    float targets[3] = {};
    for (uint16_t i = 1; i <= 2; ++i) {
        targets[i] = initial[i]->getValue() > 0.5f ? 0.2f : 0.8f;
        changes[i - 1] = PluginParameterChange{targets[i], i, 0};
    }
    changes.setCount(2);
    // The client watches parameter 1 only.
    source.context->parameterFlag(1).store(PluginAudioContext::PARAMETER_WATCHED);
    source.context->startProcessing();
    source.context->processAudio(256, true, false);
    changes.setCount(0);
    // The idle tick turns the marked flag into one display update, for the watched parameter only.
    EXPECT_TRUE(host.log.waitFor("display 1 "));
    EXPECT_EQ(host.log.count("display 2 "), 0u);
    const std::vector<float> changed = valuesOf(host.updateIO(source.id)->getState());
    for (int i : {1, 2})
        EXPECT_NEAR(changed[i], targets[i], 0.02f) << "parameter " << i;

    // The directory does not exist yet: saving makes it.
    const std::string bank = directory + "/banks/changed.fxb";
    const auto handler = host.handler();
    host.proxy->savePreset(source.id, bank, handler.get());
    ASSERT_TRUE(host.log.waitFor("reply 1")) << host.log.all().back();

    // Given at creation, the bank is in the state the reply describes.
    RemoteInstance restored(host, GetParam(), "", bank);
    ASSERT_TRUE(restored.reply);
    const std::vector<float> values = valuesOf(restored.reply->getState());
    ASSERT_EQ(values.size(), changed.size());
    // A chunk keeps plain values, which come back through the plug-in's own float conversion.
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_NEAR(values[i], changed[i], 1e-6f) << "parameter " << i;
}

INSTANTIATE_TEST_SUITE_P(ParametersAndChunk, Vst2PresetRoundTrip,
                         testing::Values("/usr/lib/vst/ZamComp-vst.so",
                                         "/usr/lib/vst/lsp-plugins/compressor-stereo.so"));

// The test automator edits its parameter and asks for a refresh whenever a program is selected. Selected by
// the client, all of it reaches the listener; while a bank is saved and loaded, only the one refresh after
// the load does. Once the instance is destroyed, the proxy lets go of the listener.
TEST(RemoteHost, PluginEditsReachTheListenerExceptWhileABankMoves) {
    RemoteHost host;
    RemoteInstance instance(host, VST2_TESTAUTOMATOR);
    host.proxy->setCurrentProgram(instance.id, 1);
    ASSERT_TRUE(host.log.waitFor("all parameters"));
    EXPECT_EQ(host.log.all(), (std::vector<std::string>{"reply 0", "begin 0", "parameter 0 = 0.250000",
                                                        "end 0", "all parameters 1"}));

    const auto handler = host.handler();
    const std::string bank = testing::TempDir() + "automator.fxb";
    host.proxy->savePreset(instance.id, bank, handler.get());
    host.proxy->loadPreset(instance.id, bank, handler.get());
    ASSERT_TRUE(host.log.waitFor("reply 2"));
    ASSERT_TRUE(host.log.waitFor("all parameters ", 2));
    usleep(200000);
    EXPECT_EQ(host.log.count("all parameters "), 2u);
    EXPECT_EQ(host.log.count("parameter "), 1u);
    EXPECT_EQ(host.log.count("begin "), 1u);
    std::filesystem::remove(bank);

    const int32_t held = host.listener->getReferenceCount();
    host.proxy->destroyPluginInstance(instance.id);
    EXPECT_EQ(host.listener->getReferenceCount(), held - 1) << "the proxy still holds the listener";
}

TEST(RemoteHost, RunLoopServesAVst3PlugInWithoutEditorAndItsEditsArriveAsNotifications) {
    RemoteHost host;
    RemoteInstance instance(host, VST3_TESTVST3TWOCLASS);
    ASSERT_TRUE(instance.reply);
    // Each timer tick edits "Ticks" (index 0) and writes into a pipe whose reader edits "Reads" (index 1).
    EXPECT_TRUE(host.log.waitFor("end 0", 2)) << host.hostErrors();
    EXPECT_TRUE(host.log.waitFor("parameter 1 = "));
    host.proxy->destroyPluginInstance(instance.id);
    EXPECT_EQ(host.proxy->ping(), nullptr);
}
