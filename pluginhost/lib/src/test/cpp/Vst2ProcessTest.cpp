// Vst2PluginInstance::process against an effect scripted in the test: parameter changes, the block's
// events, the audio routines and the 0/1/2 result.

#include "HeapAudioContext.h"

#include "plugin/PluginHost.h"
#include "vst2/Vst2PluginInstance.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

using namespace plugin;
using base::core::SmartPtr;

namespace {

// An AEffect whose answers the test sets and which records what the host hands it.
struct ScriptedEffect {
    ScriptedEffect() {
        effect.magic = kEffectMagic;
        effect.object = this;
        effect.numInputs = 2;
        effect.numOutputs = 2;
        effect.numParams = 4;
        effect.flags = effFlagsCanReplacing;
        effect.dispatcher = [](AEffect* e, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr,
                               float) -> VstIntPtr { return of(e).dispatch(opcode, ptr); };
        effect.processReplacing = [](AEffect* e, float** in, float** out, VstInt32 frames) {
            of(e).render(in, out, frames, "replacing");
        };
        effect.process = [](AEffect* e, float** in, float** out, VstInt32 frames) {
            of(e).render(in, out, frames, "accumulating");
        };
        effect.setParameter = [](AEffect* e, VstInt32 index, float value) {
            of(e).parameterCalls.push_back({index, value});
        };
        effect.getParameter = [](AEffect*, VstInt32) { return 0.0f; };
    }
    static ScriptedEffect& of(AEffect* e) { return *static_cast<ScriptedEffect*>(e->object); }

    VstIntPtr dispatch(VstInt32 opcode, void* ptr) {
        switch (opcode) {
        case effCanDo:
            return capabilities.count(static_cast<const char*>(ptr)) ? 1 : 0;
        case effGetTailSize:
            return tailSize;
        case effGetPlugCategory:
            return category;
        case effProcessEvents: {
            const auto* events = static_cast<const VstEvents*>(ptr);
            std::vector<std::string> block;
            for (int i = 0; i < events->numEvents; ++i) {
                const VstEvent* event = events->events[i];
                if (event->type == kVstMidiType) {
                    const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
                    block.push_back("midi " + std::to_string(midi->deltaFrames) + " " +
                                    std::to_string(static_cast<unsigned char>(midi->midiData[1])));
                } else {
                    const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
                    block.push_back("sysex " + std::to_string(sysex->dumpBytes) + " " +
                                    std::string(sysex->sysexDump, sysex->dumpBytes));
                }
            }
            eventBlocks.push_back(block);
            return 1;
        }
        default:
            return 0;
        }
    }
    void render(float**, float** outputs, VstInt32 frames, const char* routine) {
        routines.push_back(routine);
        firstOutputSampleSeen = outputs[0][0];
        outputs[0][0] += 1.0f;
    }

    AEffect effect{};
    std::set<std::string> capabilities;
    VstIntPtr tailSize = 0;
    VstIntPtr category = kPlugCategEffect;
    std::vector<std::vector<std::string>> eventBlocks;
    std::vector<std::pair<int, float>> parameterCalls;
    std::vector<std::string> routines;
    float firstOutputSampleSeen = -1.0f;
};

class Vst2Process : public testing::Test {
protected:
    // Opens an instance on the scripted effect and starts processing.
    void start(int latency = 0) {
        effect.effect.initialDelay = latency;
        instance = new Vst2PluginInstance(host.get(), nullptr, 1, false, 0);
        instance->initNativePlugin(&effect.effect);
        instance->open();
        context = new test::HeapAudioContext(256, 2, 2, 4, true);
        context->init();
        context->clearAndWriteGuards();
        instance->setAudioContext(context.get());
        instance->startProcess();
    }
    void TearDown() override {
        if (instance)
            instance->destroy();
    }
    void addMidi(uint16_t offset, uint8_t note) {
        auto& events = context->getInputEvents();
        PluginHostEvent& record = events[events.count()];
        record.kind = PluginHostEvent::MIDI;
        record.sampleOffset = offset;
        record.midi[0] = 0x90;
        record.midi[1] = note;
        record.midi[2] = 100;
        events.setCount(events.count() + 1);
    }
    void addSysex(const char* bytes) {
        auto& events = context->getInputEvents();
        PluginHostEvent& record = events[events.count()];
        record.kind = PluginHostEvent::SYSEX;
        record.sampleOffset = 3;
        record.sysexSize = static_cast<uint8_t>(std::strlen(bytes));
        std::memcpy(record.sysex.bytes, bytes, record.sysexSize);
        events.setCount(events.count() + 1);
    }

    SmartPtr<PluginHost> host{new PluginHost(44100, 256)};
    ScriptedEffect effect;
    SmartPtr<Vst2PluginInstance> instance;
    SmartPtr<test::HeapAudioContext> context;
};

} // namespace

TEST_F(Vst2Process, ParameterChangesOfTheBlockReachThePluginInOrder) {
    start();
    auto& changes = context->getParameterChanges();
    changes[0] = PluginParameterChange{0.25f, 3, 0};
    changes[1] = PluginParameterChange{0.75f, 1, 10};
    changes.setCount(2);
    // The client watches parameter 1: its change is marked for a display update on the idle tick.
    context->parameterFlag(1).store(PluginAudioContext::PARAMETER_WATCHED);
    instance->process(64, true, true);
    EXPECT_EQ(effect.parameterCalls, (std::vector<std::pair<int, float>>{{3, 0.25f}, {1, 0.75f}}));
    EXPECT_EQ(context->parameterFlag(1).load(),
              PluginAudioContext::PARAMETER_WATCHED | PluginAudioContext::PARAMETER_CHANGED);
    EXPECT_EQ(context->parameterFlag(3).load(), 0);
}

TEST_F(Vst2Process, EventsGoOnlyToPluginsThatTakeMidiAndOnlyWhenThereAreSome) {
    start();
    addMidi(5, 60);
    instance->process(64, true, true);
    EXPECT_TRUE(effect.eventBlocks.empty()) << "an effect that takes no MIDI got events";
    instance->destroy();
    instance.reset();

    effect.capabilities = {"receiveVstMidiEvent"};
    start();
    instance->process(64, true, true);
    EXPECT_TRUE(effect.eventBlocks.empty()) << "an empty list was delivered";
    addMidi(5, 60);
    addSysex("abc");
    instance->process(64, true, true);
    ASSERT_EQ(effect.eventBlocks.size(), 1u);
    // Sysex only for plug-ins that asked for it.
    EXPECT_EQ(effect.eventBlocks[0], std::vector<std::string>{"midi 5 60"});

    context->getInputEvents().setCount(0);
    addSysex("xy");
    instance->process(64, true, true);
    ASSERT_EQ(effect.eventBlocks.size(), 2u);
    EXPECT_TRUE(effect.eventBlocks[1].empty()) << "all-sysex blocks still send an empty list";
}

TEST_F(Vst2Process, SysexIsPassedAndEventsBeyondTheStorageAreDropped) {
    effect.capabilities = {"receiveVstMidiEvent", "receiveVstSysexEvent"};
    start();
    addSysex("F0 7F");
    for (int i = 0; i < 255; ++i)
        addMidi(static_cast<uint16_t>(i), static_cast<uint8_t>(i % 128));
    instance->process(256, true, true);
    ASSERT_EQ(effect.eventBlocks.size(), 1u);
    // 8192 bytes of storage: the 48-byte sysex event and 254 of the 32-byte notes; the last note is dropped.
    ASSERT_EQ(effect.eventBlocks[0].size(), 255u);
    EXPECT_EQ(effect.eventBlocks[0][0], "sysex 5 F0 7F");
    EXPECT_EQ(effect.eventBlocks[0].back(), "midi 253 125");
}

TEST_F(Vst2Process, ThreeHundredNotesDeliverTheFirst256) {
    effect.effect.flags |= effFlagsIsSynth;
    start();
    for (int i = 0; i < 300; ++i)
        addMidi(static_cast<uint16_t>(i % 256), static_cast<uint8_t>(i % 128));
    testing::internal::CaptureStdout();
    instance->process(256, true, true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "dropping beyond the storage is silent";
    ASSERT_EQ(effect.eventBlocks.size(), 1u);
    ASSERT_EQ(effect.eventBlocks[0].size(), 256u);
    EXPECT_EQ(effect.eventBlocks[0].back(), "midi 255 127");
}

TEST_F(Vst2Process, AccumulatingPluginsGetAClearedOutputArea) {
    effect.effect.flags = 0;
    start();
    context->getOutputChannel(0)[0] = 5.0f;
    instance->process(64, true, true);
    EXPECT_EQ(effect.routines, std::vector<std::string>{"accumulating"});
    EXPECT_EQ(effect.firstOutputSampleSeen, 0.0f);
    EXPECT_EQ(context->getOutputChannel(0)[0], 1.0f);
    EXPECT_TRUE(context->guardsIntact());
}

TEST_F(Vst2Process, NothingIsRenderedOutsideProcessingButChangesStillApply) {
    start();
    instance->stopProcess();
    auto& changes = context->getParameterChanges();
    changes[0] = PluginParameterChange{0.5f, 2, 0};
    changes.setCount(1);
    instance->process(64, true, true);
    EXPECT_TRUE(effect.routines.empty());
    EXPECT_EQ(effect.parameterCalls.size(), 1u);
}

TEST_F(Vst2Process, ResultFollowsTheTail) {
    effect.tailSize = 1; // no tail
    start();
    EXPECT_EQ(instance->process(256, false, true), 0);
    EXPECT_EQ(instance->process(256, true, true), 1);
    instance->destroy();
    instance.reset();

    effect.tailSize = 0; // unknown, and no promise of silence in stop
    start();
    for (int block = 0; block < 10; ++block)
        EXPECT_EQ(instance->process(256, false, true), 2);
    instance->destroy();
    instance.reset();

    effect.effect.flags |= effFlagsNoSoundInStop;
    start();
    EXPECT_EQ(instance->process(256, false, true), 0);
}

TEST_F(Vst2Process, ALongTailRunsOutAfterLatencyPlusTail) {
    effect.tailSize = 960;
    start(64);
    // Silence counter 256, 512, 768, and 1024 exactly at 64 + 960: still sounding.
    for (int block = 0; block < 4; ++block)
        EXPECT_EQ(instance->process(256, false, true), 2) << "block " << block;
    EXPECT_EQ(instance->process(256, false, true), 0); // 1280
    // An active block starts the count again.
    EXPECT_EQ(instance->process(256, true, true), 1);
    EXPECT_EQ(instance->process(256, false, true), 2);
}

TEST_F(Vst2Process, GeneratorsAreAlwaysActive) {
    effect.category = kPlugCategGenerator;
    effect.tailSize = 1;
    start();
    EXPECT_EQ(instance->process(256, false, true), 1);
}

TEST_F(Vst2Process, OutputEventsRaisedOutsideProcessingAreRefused) {
    start();
    VstMidiEvent note{};
    note.type = kVstMidiType;
    note.byteSize = sizeof note;
    note.midiData[0] = static_cast<char>(0x90);
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&note);
    context->getOutputEvents().setCount(0);
    // From the plug-in's own thread between blocks: nothing to attach it to.
    vstAudioMasterCallback(&effect.effect, audioMasterProcessEvents, 0, 0, &events, 0.0f);
    EXPECT_EQ(context->getOutputEvents().count(), 0u);
}
