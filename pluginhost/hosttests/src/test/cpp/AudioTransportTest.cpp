// Audio through a real host process: the client fills the shared block, sends the process command
// on its worker pipe and reads the block back.

#include "RemoteHostFixture.h"

#include "plugin/LocalPluginAudioContext.h"
#include "plugin/PluginAudioContext.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginInstance.h"
#include "vst2/Vst2PluginApi.h"
#include "vst3/Vst3PluginApi.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <utility>
#include <vector>
#include <xmmintrin.h>

using namespace plugin;
using namespace plugin::test;
using base::core::SmartPtr;

namespace {

// The same deterministic input for both sides: two sines and a little pseudo-random noise.
void fillInput(PluginAudioContext& context, int block, int frames) {
    uint32_t seed = 12345u + static_cast<uint32_t>(block);
    for (int channel = 0; channel < context.getInputChannelCount(); ++channel) {
        float* samples = context.getInputChannel(channel);
        for (int i = 0; i < frames; ++i) {
            seed = seed * 1664525u + 1013904223u;
            const double t = (block * frames + i) / 44100.0;
            samples[i] = static_cast<float>(0.5 * std::sin(2 * M_PI * (220 + 110 * channel) * t) +
                                            0.05 * ((seed >> 8) / 16777216.0 - 0.5));
        }
    }
}

std::vector<float> outputOf(PluginAudioContext& context, int frames) {
    std::vector<float> result;
    for (int channel = 0; channel < context.getOutputChannelCount(); ++channel)
        result.insert(result.end(), context.getOutputChannel(channel),
                      context.getOutputChannel(channel) + frames);
    return result;
}

constexpr int BLOCKS = 8;

std::vector<std::vector<float>> renderInProcess(const char* path, int blockSize) {
    // The host's audio threads flush denormals; the reference must compute in the same mode.
    const unsigned int savedMode = _mm_getcsr();
    _mm_setcsr(savedMode | 0x8040);
    PluginApi* previous = std::exchange(VST2_PLUGIN_API_INSTANCE, new Vst2PluginApi());
    PluginApi* previous3 = std::exchange(VST3_PLUGIN_API_INSTANCE, new Vst3PluginApi());
    std::vector<std::vector<float>> blocks;
    {
        SmartPtr<PluginHost> host(new PluginHost(44100, blockSize));
        PluginInstance* instance = host->createPluginInstance(1, path, "", false);
        SmartPtr<LocalPluginAudioContext> context(new LocalPluginAudioContext(instance, blockSize));
        context->init();
        context->clearAndWriteGuards();
        instance->setAudioContext(context.get());
        instance->startProcess();
        for (int block = 0; block < BLOCKS; ++block) {
            fillInput(*context, block, blockSize);
            instance->process(static_cast<unsigned int>(blockSize), true, false);
            blocks.push_back(outputOf(*context, blockSize));
        }
        instance->stopProcess();
        host->destroyPluginInstance(instance);
    }
    delete std::exchange(VST2_PLUGIN_API_INSTANCE, previous);
    delete std::exchange(VST3_PLUGIN_API_INSTANCE, previous3);
    _mm_setcsr(savedMode);
    return blocks;
}

class RemoteRendering : public testing::TestWithParam<std::tuple<const char*, int>> {};

} // namespace

TEST_P(RemoteRendering, IsSampleForSampleTheSameAsInProcess) {
    const auto [path, blockSize] = GetParam();
    const auto expected = renderInProcess(path, blockSize);
    RemoteHost host(1, blockSize);
    RemoteInstance instance(host, path);
    ASSERT_TRUE(instance.context);
    instance.context->startProcessing();
    for (int block = 0; block < BLOCKS; ++block) {
        fillInput(*instance.context, block, blockSize);
        instance.context->processAudio(static_cast<unsigned int>(blockSize), true, false);
        ASSERT_EQ(outputOf(*instance.context, blockSize), expected[block]) << "block " << block;
    }
    instance.context->stopProcessing();
    EXPECT_TRUE(instance.context->guardsIntact());
    bool audible = false;
    for (const auto& block : expected)
        for (float sample : block)
            audible = audible || std::fabs(sample) > 1e-4f;
    EXPECT_TRUE(audible) << "the comparison would prove little on silence";
}

// The smallest and the largest block the client uses, VST 2 and VST 3, installed and ours. The events of a
// block share its memory and are checked with the plug-in formats.
INSTANTIATE_TEST_SUITE_P(Modules, RemoteRendering,
                         testing::Combine(testing::Values("/usr/lib/vst/ZamComp-vst.so",
                                                          VST3_TESTVST3PROCESSING,
                                                          "/usr/lib/vst3/ZamComp.vst3"),
                                          testing::Values(64, 1024)));
