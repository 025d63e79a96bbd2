// Audio through a real host process: the client fills the shared block, sends the process command
// on its worker pipe and reads the block back.

#include "RemoteHostFixture.h"

#include "base/core/IOException.h"
#include "plugin/LocalPluginAudioContext.h"
#include "plugin/ParameterInfo.h"
#include "plugin/PluginAudioContext.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginInstance.h"
#include "plugin/PluginInstanceState.h"
#include "vst2/Vst2PluginApi.h"
#include "vst3/Vst3PluginApi.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
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

// The host's audio threads flush denormals; the reference must compute in the same mode.
class FlushDenormals {
public:
    FlushDenormals() : saved(_mm_getcsr()) { _mm_setcsr(saved | 0x8040); }
    ~FlushDenormals() { _mm_setcsr(saved); }

private:
    unsigned int saved;
};

constexpr int BLOCKS = 8;

std::vector<std::vector<float>> renderInProcess(const char* path, int blockSize) {
    FlushDenormals mode;
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
    return blocks;
}

class RemoteRendering : public testing::TestWithParam<std::pair<const char*, int>> {};

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
        instance.process(blockSize);
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

INSTANTIATE_TEST_SUITE_P(DebianEffects, RemoteRendering,
                         testing::Values(std::make_pair("/usr/lib/vst/ZamComp-vst.so", 64),
                                         std::make_pair("/usr/lib/vst/ZamComp-vst.so", 256),
                                         std::make_pair("/usr/lib/vst/ZamComp-vst.so", 1024),
                                         std::make_pair("/usr/lib/vst/3BandEQ-vst.so", 64),
                                         std::make_pair("/usr/lib/vst/3BandEQ-vst.so", 256),
                                         std::make_pair("/usr/lib/vst/3BandEQ-vst.so", 1024),
                                         std::make_pair("/usr/lib/vst/ZamTube-vst.so", 256)));

INSTANTIATE_TEST_SUITE_P(Vst3Bundles, RemoteRendering,
                         testing::Values(std::make_pair(VST3_TESTVST3PROCESSING, 64),
                                         std::make_pair(VST3_TESTVST3PROCESSING, 256),
                                         std::make_pair(VST3_TESTVST3PROCESSING, 1024),
                                         std::make_pair("/usr/lib/vst3/ZamComp.vst3", 64),
                                         std::make_pair("/usr/lib/vst3/ZamComp.vst3", 256),
                                         std::make_pair("/usr/lib/vst3/ZamComp.vst3", 1024),
                                         std::make_pair("/usr/lib/vst3/ZamEQ2.vst3", 256)));

TEST(RemoteAudio, SynthPlaysTheNotesOfTheEventList) {
    RemoteHost host;
    RemoteInstance synth(host, "/usr/lib/vst/Kars-vst.so");
    ASSERT_TRUE(synth.context);
    synth.context->startProcessing();
    double energy = 0;
    for (int block = 0; block < 20; ++block) {
        synth.context->getInputEvents().setCount(0);
        if (block == 0) {
            PluginHostEvent& on = synth.context->getInputEvents()[0];
            on.kind = PluginHostEvent::MIDI;
            on.sampleOffset = 0;
            on.midi[0] = 0x90;
            on.midi[1] = 60;
            on.midi[2] = 127;
            synth.context->getInputEvents().setCount(1);
        }
        synth.context->getOutputEvents().setCount(0);
        synth.context->processAudio(256, false, false);
        for (float sample : outputOf(*synth.context, 256))
            energy += sample * sample;
    }
    EXPECT_GT(energy, 1.0) << "a note-on produced no sound";
}

TEST(RemoteAudio, EchoedMidiComesBackWithClampedOffsets) {
    RemoteHost host(1, 512);
    RemoteInstance echo(host, VST2_TESTMIDIECHO);
    ASSERT_TRUE(echo.context);
    echo.context->startProcessing();
    auto& in = echo.context->getInputEvents();
    in.setCount(0);
    const uint8_t notes[2][3] = {{0x90, 64, 90}, {0x80, 64, 0}};
    for (int i = 0; i < 2; ++i) {
        PluginHostEvent& record = in[i];
        record.kind = PluginHostEvent::MIDI;
        record.sampleOffset = static_cast<uint16_t>(100 * (i + 1));
        std::memcpy(record.midi, notes[i], 3);
    }
    PluginHostEvent& sysex = in[2];
    sysex.kind = PluginHostEvent::SYSEX;
    sysex.sampleOffset = 7;
    sysex.sysexSize = 4;
    std::memcpy(sysex.sysex.bytes, "\xF0\x01\x02\xF7", 4);
    in.setCount(3);
    echo.context->getOutputEvents().setCount(0);
    echo.context->processAudio(512, true, false);

    auto& out = echo.context->getOutputEvents();
    std::vector<std::vector<int>> seen;
    for (uint32_t i = 0; i < out.count(); ++i) {
        const PluginHostEvent record = out[i];
        seen.push_back({record.kind, record.sampleOffset, record.midi[0], record.midi[1], record.midi[2]});
    }
    EXPECT_EQ(seen, (std::vector<std::vector<int>>{{0, 100, 0x90, 64, 90},
                                                   {0, 200, 0x80, 64, 0},
                                                   {0, 7, 0xB0, 127, 4},      // the sysex arrived, 4 bytes
                                                   {0, 0, 0x90, 1, 100},      // sent at -5
                                                   {0, 511, 0x90, 2, 100}})); // sent at 10000
    EXPECT_TRUE(echo.context->guardsIntact());
}

TEST(RemoteAudio, ParameterChangesReachThePluginAndWatchedOnesUpdateTheirDisplay) {
    RemoteHost host;
    SmartPtr<RecordingListener> listener(new RecordingListener(host.log));
    RemoteInstance effect(host, "/usr/lib/vst/ZamComp-vst.so", listener.get());
    ASSERT_TRUE(effect.context);
    const auto& parameters = effect.reply->getState()->getParameters();
    ASSERT_GE(parameters.size(), 2u);
    const float target = parameters[1]->getValue() > 0.5f ? 0.1f : 0.9f;
    // The client watches parameter 1 only.
    effect.context->parameterFlag(1).store(PluginAudioContext::PARAMETER_WATCHED);
    effect.context->startProcessing();
    effect.context->getInputEvents().setCount(0);
    effect.context->getOutputEvents().setCount(0);
    auto& changes = effect.context->getParameterChanges();
    changes[0] = PluginParameterChange{target, 1, 0};
    changes[1] = PluginParameterChange{target, 0, 0};
    changes.setCount(2);
    effect.context->processAudio(256, true, false);
    changes.setCount(0);

    // The idle tick turns the marked flag into one display update, for the watched parameter only.
    ASSERT_TRUE(host.log.waitFor("display 1 "));
    EXPECT_EQ(host.log.count("display 0 "), 0u);
    SmartPtr<RecordingReplyHandler> io(new RecordingReplyHandler(host.log));
    host.proxy->updateIO(effect.id, io.get());
    ASSERT_TRUE(host.log.waitFor("reply 3"));
    auto* defined = dynamic_cast<DefineIoReply*>(io->lastReply().get());
    ASSERT_TRUE(defined);
    EXPECT_NEAR(defined->getState()->getParameters()[1]->getValue(), target, 0.02f);
}

TEST(RemoteAudio, PluginCrashingInProcessKillsOnlyTheHost) {
    RemoteHost host;
    RemoteInstance crasher(host, VST2_TESTCRASHER);
    ASSERT_TRUE(crasher.context);
    crasher.context->startProcessing();
    EXPECT_THROW(crasher.process(256), base::core::IOException);
    ASSERT_TRUE(host.log.waitFor("died: "));
    EXPECT_THROW(host.proxy->ping(), base::core::IOException);
    EXPECT_EQ(host.log.count("died: "), 1u);
    EXPECT_NE(host.launcher->waitForExit(), 0);
}
