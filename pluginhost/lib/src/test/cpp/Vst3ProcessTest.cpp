// One VST 3 block in the host's own process: parameter queues, the mappings of client events, automation
// and note output through the test amplifier, and the tail result.

#include "HeapAudioContext.h"

#include "plugin/PluginHost.h"
#include "vst3/Vst3EventList.h"
#include "vst3/Vst3ParameterChanges.h"
#include "vst3/Vst3Plugin.h"
#include "vst3/Vst3PluginApi.h"
#include "vst3/Vst3PluginInstance.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <utility>
#include <vector>

using namespace plugin;
using base::core::SmartPtr;
using namespace Steinberg;

namespace {

constexpr Vst::ParamID GAIN = 1;
constexpr Vst::ParamID BEND = 2;

class Vst3Process : public testing::Test {
protected:
    void SetUp() override { previousApi = std::exchange(VST3_PLUGIN_API_INSTANCE, &api); }
    void TearDown() override {
        for (auto& instance : instances)
            instance->destroy();
        instances.clear();
        host.reset();
        VST3_PLUGIN_API_INSTANCE = previousApi;
    }

    // An open instance of the bundle, processing on a block of 2 in and 2 out channels.
    Vst3PluginInstance* start(const char* bundle) {
        auto* plugin = dynamic_cast<Vst3Plugin*>(host->getPlugin(bundle));
        SmartPtr<PluginInstance> made = plugin->createInstance(1, "", false);
        SmartPtr<Vst3PluginInstance> instance(dynamic_cast<Vst3PluginInstance*>(made.get()));
        instance->open();
        context = new test::HeapAudioContext(256, 2, 2, 2, true);
        context->init();
        context->clearAndWriteGuards();
        instance->setAudioContext(context.get());
        instance->startProcess();
        instances.push_back(instance);
        return instance.get();
    }
    static PluginHostEvent midi(uint8_t status, uint8_t data1, uint8_t data2, uint16_t offset = 0) {
        PluginHostEvent record{};
        record.kind = PluginHostEvent::MIDI;
        record.sampleOffset = offset;
        record.midi[0] = status;
        record.midi[1] = data1;
        record.midi[2] = data2;
        return record;
    }
    static PluginHostEvent expression(uint8_t kind, float value) {
        PluginHostEvent record{};
        record.kind = PluginHostEvent::NOTE_EXPRESSION;
        record.noteExpression = {2, 64, value, kind};
        return record;
    }
    // The points of the instance's input queue of the id, as (offset, value).
    static std::vector<std::pair<int32, double>> points(Vst3PluginInstance& instance, Vst::ParamID id) {
        std::vector<std::pair<int32, double>> result;
        Vst3ParameterChanges& changes = instance.getInputParameterChanges();
        for (int32 i = 0; i < changes.getParameterCount(); ++i) {
            Vst::IParamValueQueue* queue = changes.getParameterData(i);
            for (int32 p = 0; queue->getParameterId() == id && p < queue->getPointCount(); ++p) {
                int32 offset = 0;
                Vst::ParamValue value = 0;
                queue->getPoint(p, offset, value);
                result.emplace_back(offset, value);
            }
        }
        return result;
    }

    Vst3PluginApi api;
    PluginApi* previousApi = nullptr;
    SmartPtr<PluginHost> host{new PluginHost(44100, 256)};
    std::vector<SmartPtr<Vst3PluginInstance>> instances;
    SmartPtr<test::HeapAudioContext> context;
};

TEST(Vst3ParameterChanges, OneQueuePerIdHoldsAtMost128PointsAndIsRecycled) {
    Vst3ParameterChanges changes;
    int32 index = -1;
    Vst::IParamValueQueue* first = changes.addParameterData(5, index);
    EXPECT_EQ(index, 0);
    EXPECT_NE(changes.addParameterData(6, index), first);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(changes.addParameterData(5, index), first);
    EXPECT_EQ(index, 0);
    for (int32 point = 0; point < 128; ++point)
        ASSERT_EQ(first->addPoint(128 - point, point / 128.0, index), kResultOk);
    EXPECT_EQ(first->addPoint(0, 1.0, index), kOutOfMemory);
    int32 offset = 0;
    Vst::ParamValue value = 0;
    EXPECT_EQ(first->getPoint(1, offset, value), kResultOk);
    EXPECT_EQ(std::make_pair(offset, value), std::make_pair(127, 1 / 128.0)) << "kept in the order added";
    EXPECT_EQ(first->getPoint(128, offset, value), kInvalidArgument);
    EXPECT_EQ(changes.getParameterData(2), nullptr);

    changes.clear();
    EXPECT_EQ(changes.getParameterCount(), 0);
    // The last block returned is the next one taken, empty.
    Vst::IParamValueQueue* again = changes.addParameterData(9, index);
    EXPECT_EQ(again, first);
    EXPECT_EQ(again->getPointCount(), 0);
    EXPECT_EQ(again->getParameterId(), 9u);
}

TEST_F(Vst3Process, ClientEventsBecomeVst3EventsOrParameterPoints) {
    Vst3PluginInstance& instance = *start(VST3_TESTVST3PROCESSING);
    PluginHostEvent records[] = {
        midi(0x93, 60, 127, 7), midi(0x90, 61, 0), midi(0x81, 60, 64),  midi(0xA0, 60, 127),
        midi(0xF8, 0, 0),       midi(0x40, 1, 2),  expression(0, 0.5f), expression(0, 1.5f),
        expression(1, -1.0f),   expression(2, 12), expression(3, 0.3f), expression(4, 0.7f),
        expression(5, 1.0f),
    };
    PluginHostEvent sysex{};
    sysex.kind = PluginHostEvent::SYSEX;
    sysex.sysexSize = 4;
    std::memcpy(sysex.sysex.bytes, "\xF0\x01\x02\xF7", 4);
    Vst3EventList list;
    for (PluginHostEvent& record : records)
        list.addHostEvent(instance, record);
    list.addHostEvent(instance, sysex);

    std::vector<Vst::Event> events(static_cast<size_t>(list.getEventCount()));
    for (int32 i = 0; i < list.getEventCount(); ++i)
        list.getEvent(i, events[static_cast<size_t>(i)]);
    ASSERT_EQ(events.size(), 11u) << "system messages, stray data bytes and unknown expressions are dropped";
    EXPECT_EQ(events[0].type, Vst::Event::kNoteOnEvent);
    EXPECT_EQ(events[0].sampleOffset, 7);
    EXPECT_EQ(std::make_tuple(events[0].noteOn.channel, events[0].noteOn.pitch, events[0].noteOn.velocity,
                              events[0].noteOn.noteId, events[0].noteOn.length),
              std::make_tuple(int16{3}, int16{60}, 1.0f, 3 * 256 + 60, -1));
    EXPECT_EQ(events[1].type, Vst::Event::kNoteOnEvent) << "velocity 0 stays a note-on";
    EXPECT_EQ(events[1].noteOn.velocity, 0.0f);
    EXPECT_EQ(events[2].type, Vst::Event::kNoteOffEvent);
    EXPECT_FLOAT_EQ(events[2].noteOff.velocity, 64 / 127.0f);
    EXPECT_EQ(events[3].type, Vst::Event::kPolyPressureEvent);
    EXPECT_EQ(events[3].polyPressure.pressure, 1.0f);
    // Volume through the plug-in's range 0 .. 0.5 (default) .. 1.
    const std::pair<Vst::NoteExpressionTypeID, double> expected[] = {{Vst::kVolumeTypeID, 0.25},
                                                                     {Vst::kVolumeTypeID, 0.75},
                                                                     {Vst::kPanTypeID, 0.0},
                                                                     {Vst::kTuningTypeID, 0.55},
                                                                     {Vst::kBrightnessTypeID, 0.3}};
    for (size_t i = 0; i < std::size(expected); ++i) {
        const Vst::Event& event = events[4 + i];
        ASSERT_EQ(event.type, Vst::Event::kNoteExpressionValueEvent) << i;
        EXPECT_EQ(event.noteExpressionValue.typeId, expected[i].first) << i;
        EXPECT_NEAR(event.noteExpressionValue.value, expected[i].second, 1e-6) << i;
        EXPECT_EQ(event.noteExpressionValue.noteId, 2 * 256 + 64);
    }
    EXPECT_EQ(events[9].type, Vst::Event::kPolyPressureEvent);
    EXPECT_EQ(std::make_tuple(events[9].polyPressure.channel, events[9].polyPressure.pitch,
                              events[9].polyPressure.pressure, events[9].polyPressure.noteId),
              std::make_tuple(int16{2}, int16{64}, 0.7f, 2 * 256 + 64));
    EXPECT_EQ(events[10].type, Vst::Event::kDataEvent);
    EXPECT_EQ(events[10].data.bytes, sysex.sysex.bytes) << "the bytes stay in the record";
    EXPECT_EQ(events[10].data.size, 4u);

    // Controllers and pitch bend go through the plug-in's MIDI mapping; unmapped ones are dropped.
    for (PluginHostEvent record : {midi(0xB0, 7, 127, 3), midi(0xB0, 8, 1), midi(0xE0, 0x7F, 0x7F, 4),
                                   midi(0xE0, 0x00, 0x40, 5), midi(0xD0, 100, 0)})
        list.addHostEvent(instance, record);
    EXPECT_EQ(list.getEventCount(), 11);
    EXPECT_EQ(points(instance, GAIN), (std::vector<std::pair<int32, double>>{{3, 1.0}}));
    const auto bend = points(instance, BEND);
    ASSERT_EQ(bend.size(), 2u) << "one queue for both points, in order";
    EXPECT_EQ(bend[0], std::make_pair(4, 1.0));
    EXPECT_EQ(bend[1].first, 5);
    EXPECT_NEAR(bend[1].second, 8192 / 16383.0, 1e-6);
    EXPECT_EQ(instance.getInputParameterChanges().getParameterCount(), 2);
    instance.getInputParameterChanges().clear();
}

TEST_F(Vst3Process, WithoutMappingOrVolumeExpressionTheFallbacksApply) {
    Vst3PluginInstance& instance = *start(VST3_TESTVST3SINGLE);
    Vst3EventList list;
    for (PluginHostEvent record : {midi(0xB0, 7, 100), expression(0, 1.0f), expression(0, 2.0f)})
        list.addHostEvent(instance, record);
    EXPECT_EQ(instance.getInputParameterChanges().getParameterCount(), 0);
    ASSERT_EQ(list.getEventCount(), 2);
    Vst::Event event{};
    list.getEvent(0, event);
    EXPECT_FLOAT_EQ(event.noteExpressionValue.value, 0.25f);
    list.getEvent(1, event);
    EXPECT_FLOAT_EQ(event.noteExpressionValue.value, 1.0f) << "0.25 x 2^3, capped";
}

TEST_F(Vst3Process, AutomationIsSampleAccurateAndNotesComeBackWithinTheBlock) {
    Vst3PluginInstance& instance = *start(VST3_TESTVST3PROCESSING);
    for (int channel = 0; channel < 2; ++channel)
        std::fill_n(context->getInputChannel(channel), 256, 1.0f);
    auto& changes = context->getParameterChanges();
    changes[0] = PluginParameterChange{0.25f, 0, 10};
    changes[1] = PluginParameterChange{0.75f, 0, 20};
    changes.setCount(2);
    auto& in = context->getInputEvents();
    const PluginHostEvent notes[] = {midi(0x90, 60, 127, 3), midi(0x90, 1, 64), midi(0x90, 2, 64),
                                     midi(0x80, 60, 0, 9), midi(0xA0, 60, 127, 9)};
    for (uint32_t i = 0; i < std::size(notes); ++i)
        in[i] = notes[i];
    in.setCount(std::size(notes));
    context->getOutputEvents().setCount(0);

    EXPECT_EQ(instance.process(256, true, false), 1);

    for (int channel = 0; channel < 2; ++channel) {
        const float* out = context->getOutputChannel(channel);
        EXPECT_EQ(std::make_tuple(out[0], out[9], out[10], out[19], out[20], out[255]),
                  std::make_tuple(0.5f, 0.5f, 0.25f, 0.25f, 0.75f, 0.75f))
            << "both points of the parameter, in record order, on channel " << channel;
    }
    EXPECT_FLOAT_EQ(instance.getParameterNormalizedValue(0), 0.75f) << "the controller follows";
    auto& out = context->getOutputEvents();
    std::vector<std::vector<int>> seen;
    for (uint32_t i = 0; i < out.count(); ++i)
        seen.push_back({out[i].kind, out[i].sampleOffset, out[i].midi[0], out[i].midi[1], out[i].midi[2]});
    EXPECT_EQ(seen, (std::vector<std::vector<int>>{{0, 3, 0x90, 60, 127},
                                                   {0, 0, 0x90, 1, 64},   // sent at -5
                                                   {0, 255, 0x90, 2, 64}, // sent at 10000
                                                   {0, 9, 0x80, 60, 0},
                                                   {0, 9, 0xA0, 60, 127}}));
    EXPECT_EQ(instance.getInputParameterChanges().getParameterCount(), 0)
        << "queues recycled after the block";
    EXPECT_TRUE(context->guardsIntact());
}

TEST_F(Vst3Process, AProgramChosenOnTheMainThreadReachesTheNextBlock) {
    Vst3PluginInstance& instance = *start(VST3_TESTVST3PROGRAMS); // outputs the last program value it got
    instance.setCurrentProgram(1, 0);
    instance.setCurrentProgram(2, 0);
    instance.process(64, true, false);
    EXPECT_FLOAT_EQ(context->getOutputChannel(0)[0], 2 / 3.0f) << "the later choice";
    instance.setCurrentProgram(0, 0);
    instance.process(64, true, false);
    EXPECT_FLOAT_EQ(context->getOutputChannel(0)[0], 0.0f);
}

TEST_F(Vst3Process, TheResultFollowsSignalTailAndState) {
    Vst3PluginInstance& ringing = *start(VST3_TESTVST3PROCESSING); // a tail of 100 samples
    EXPECT_EQ(ringing.process(64, false, true), 2);
    EXPECT_EQ(ringing.process(64, false, true), 0);
    EXPECT_EQ(ringing.process(64, true, true), 1);
    EXPECT_EQ(ringing.process(64, false, true), 2);
    ringing.stopProcess();
    EXPECT_EQ(ringing.process(64, false, true), 0) << "outside processing only the accounting runs";

    Vst3PluginInstance& dry = *start(VST3_TESTVST3SINGLE); // no tail
    EXPECT_EQ(dry.process(64, false, true), 0);
}

} // namespace
