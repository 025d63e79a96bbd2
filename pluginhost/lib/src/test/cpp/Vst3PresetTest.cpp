// VST 3 preset files written and read by an instance in the host's own process.

#include "HeapAudioContext.h"

#include "base/core/IOException.h"
#include "plugin/PluginHost.h"
#include "vst3/Vst3Plugin.h"
#include "vst3/Vst3PluginApi.h"
#include "vst3/Vst3PluginInstance.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace plugin;
using base::core::SmartPtr;

namespace {

constexpr uint16_t RELEASE_TIME = 4; // of ZamComp

class Vst3Preset : public testing::Test {
protected:
    void SetUp() override {
        previousApi = std::exchange(VST3_PLUGIN_API_INSTANCE, &api);
        std::filesystem::create_directories(directory);
    }
    void TearDown() override {
        for (auto& instance : instances)
            instance->destroy();
        instances.clear();
        host.reset();
        VST3_PLUGIN_API_INSTANCE = previousApi;
        std::filesystem::remove_all(directory);
    }

    Vst3PluginInstance* open(const char* bundle) {
        auto* plugin = dynamic_cast<Vst3Plugin*>(host->getPlugin(bundle));
        SmartPtr<PluginInstance> made = plugin->createInstance(1, "", false);
        SmartPtr<Vst3PluginInstance> instance(dynamic_cast<Vst3PluginInstance*>(made.get()));
        instance->open();
        instances.push_back(instance);
        return instance.get();
    }
    static std::string contentsOf(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    Vst3PluginApi api;
    PluginApi* previousApi = nullptr;
    SmartPtr<PluginHost> host{new PluginHost(44100, 256)};
    std::vector<SmartPtr<Vst3PluginInstance>> instances;
    const std::string directory =
        std::filesystem::temp_directory_path() / ("plugin-host-vst3-presets-" + std::to_string(getpid()));
};

TEST_F(Vst3Preset, AProcessedChangeComesBackInAFreshInstance) {
    Vst3PluginInstance& source = *open("/usr/lib/vst3/ZamComp.vst3");
    SmartPtr<test::HeapAudioContext> context(new test::HeapAudioContext(256, 1, 1, 8, true));
    context->init();
    context->clearAndWriteGuards();
    source.setAudioContext(context.get());
    source.startProcess();
    // Parameter 4 is the release time; the first ones are the bundle's own bookkeeping.
    const float target = source.getParameterNormalizedValue(RELEASE_TIME) > 0.5f ? 0.2f : 0.8f;
    context->getParameterChanges()[0] = PluginParameterChange{target, RELEASE_TIME, 0};
    context->getParameterChanges().setCount(1);
    source.process(256, true, false);
    source.stopProcess();
    const std::string path = directory + "/changed.vstpreset";
    source.savePreset(path);
    EXPECT_NE(contentsOf(path).find(source.getProductIdentifier().getStdString()), std::string::npos)
        << "the header names the class";

    Vst3PluginInstance& target3 = *open("/usr/lib/vst3/ZamComp.vst3");
    ASSERT_NE(target3.getParameterNormalizedValue(RELEASE_TIME), target);
    target3.loadPreset(path);
    EXPECT_NEAR(target3.getParameterNormalizedValue(RELEASE_TIME), target, 1e-3);
}

TEST_F(Vst3Preset, TheComponentChunkReachesTheSeparateController) {
    Vst3PluginInstance& instance = *open(VST3_TESTVST3TWOCLASS);
    const std::string path = directory + "/two.vstpreset";
    instance.savePreset(path);
    instance.setParameterNormalizedValue(0, 0.0f);
    instance.loadPreset(path);
    EXPECT_FLOAT_EQ(instance.getParameterNormalizedValue(0), 0.7f) << "the component's state, 7";

    // A preset of another class is ignored.
    Vst3PluginInstance& other = *open("/usr/lib/vst3/ZamComp.vst3");
    const float before = other.getParameterNormalizedValue(RELEASE_TIME);
    other.loadPreset(path);
    EXPECT_EQ(other.getParameterNormalizedValue(RELEASE_TIME), before);
}

TEST_F(Vst3Preset, FilesThatCannotBeOpenedAreReported) {
    Vst3PluginInstance& instance = *open(VST3_TESTVST3TWOCLASS);
    const std::string missing = directory + "/no/such/dir/x.vstpreset";
    const std::pair<bool, std::string> cases[] = {
        {true, "Error opening VST3 preset for writing: " + missing},
        {false, "Error opening VST3 preset for reading: " + missing},
    };
    for (const auto& [saving, message] : cases) {
        try {
            saving ? instance.savePreset(missing) : instance.loadPreset(missing);
            ADD_FAILURE() << message;
        } catch (const base::core::IOException& error) {
            EXPECT_EQ(error.getMessage().getStdString(), message);
        }
    }
}

} // namespace
