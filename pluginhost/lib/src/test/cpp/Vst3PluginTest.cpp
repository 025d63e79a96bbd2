// VST 3 instances in the host's own process against the test bundles: description,
// the host interfaces, one block's parameter queues, events and tail result, and preset files.

#include "HeapAudioContext.h"

#include "base/core/IOException.h"
#include "plugin/PluginAudioBus.h"
#include "plugin/PluginHost.h"
#include "vst3/Vst3Debug.h"
#include "vst3/Vst3EventList.h"
#include "vst3/Vst3ParameterChanges.h"
#include "vst3/Vst3Plugin.h"
#include "vst3/Vst3PluginApi.h"
#include "vst3/Vst3PluginInstance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace plugin;
using base::core::SmartPtr;
using base::core::String;
using namespace Steinberg;

namespace {

class Vst3PluginTest : public testing::Test {
protected:
    void SetUp() override { previousApi = std::exchange(VST3_PLUGIN_API_INSTANCE, &api); }
    void TearDown() override {
        for (auto& instance : instances)
            instance->destroy();
        instances.clear();
        host.reset();
        VST3_PLUGIN_API_INSTANCE = previousApi;
    }

    // Opened when the class could be made; destroyed at the end of the test.
    Vst3PluginInstance& create(const char* path, const String& deviceId = String()) {
        SmartPtr<PluginInstance> made = host->getPlugin(path)->createInstance(7, deviceId, false);
        instances.emplace_back(dynamic_cast<Vst3PluginInstance*>(made.get()));
        if (made->wasSucessfullyInstanciated())
            made->open();
        return *instances.back();
    }

    // Processing on a block of 256 frames.
    Vst3PluginInstance& start(const char* path) {
        Vst3PluginInstance& instance = create(path);
        context = new test::HeapAudioContext(256, 2, 2, 8, true);
        context->init();
        context->clearAndWriteGuards();
        instance.setAudioContext(context.get());
        instance.startProcess();
        return instance;
    }

    static std::string buses(Vst3PluginInstance& instance, bool inputs) {
        std::vector<SmartPtr<PluginAudioBus>> list;
        inputs ? instance.listAudioInputBuses(list) : instance.listAudioOutputBuses(list);
        std::string text;
        for (const auto& bus : list) {
            text += bus->getName().getStdString() + ":";
            for (int channel : bus->getChannels())
                text += std::to_string(channel);
            text += " ";
        }
        return text;
    }

    static PluginHostEvent midi(uint8_t status, uint8_t data1, uint8_t data2, uint16_t offset = 0) {
        return {PluginHostEvent::MIDI, offset, 0.0, {{status, data1, data2, 0}}, 0};
    }
    static PluginHostEvent expression(uint8_t kind, float value) {
        PluginHostEvent event{};
        event.kind = PluginHostEvent::NOTE_EXPRESSION;
        event.noteExpression = {2, 64, value, kind};
        return event;
    }

    const std::string directory = testing::TempDir() + "vst3-presets-" + std::to_string(getpid());
    Vst3PluginApi api;
    PluginApi* previousApi = nullptr;
    SmartPtr<PluginHost> host{new PluginHost(44100, 256)};
    std::vector<SmartPtr<Vst3PluginInstance>> instances;
    SmartPtr<test::HeapAudioContext> context;
};

// One event as text: its kind, offset and the fields of that kind.
std::string text(const Vst::Event& e) {
    char line[96];
    if (e.type == Vst::Event::kNoteOnEvent)
        std::snprintf(line, sizeof line, "on %d ch%d %d v%.4g id%d len%d", e.sampleOffset, e.noteOn.channel,
                      e.noteOn.pitch, e.noteOn.velocity, e.noteOn.noteId, e.noteOn.length);
    else if (e.type == Vst::Event::kNoteOffEvent)
        std::snprintf(line, sizeof line, "off %d ch%d %d v%.4g", e.sampleOffset, e.noteOff.channel,
                      e.noteOff.pitch, e.noteOff.velocity);
    else if (e.type == Vst::Event::kPolyPressureEvent)
        std::snprintf(line, sizeof line, "pressure %d ch%d %d %.4g id%d", e.sampleOffset,
                      e.polyPressure.channel, e.polyPressure.pitch, e.polyPressure.pressure,
                      e.polyPressure.noteId);
    else if (e.type == Vst::Event::kNoteExpressionValueEvent)
        std::snprintf(line, sizeof line, "expression type%u %.4g id%d", e.noteExpressionValue.typeId,
                      e.noteExpressionValue.value, e.noteExpressionValue.noteId);
    else
        std::snprintf(line, sizeof line, "type %d", e.type);
    return line;
}

} // namespace

TEST_F(Vst3PluginTest, CatalogueHoldsOnlyAudioModuleClassesAndAnEmptyIdPicksTheOnlyOne) {
    auto* plugin = dynamic_cast<Vst3Plugin*>(host->getPlugin(VST3_TESTVST3TWOCLASS));
    ASSERT_TRUE(plugin && plugin->wasSuccesfullyLoaded());
    std::vector<String> ids{"kept"};
    plugin->listDeviceIds(ids);
    ASSERT_EQ(ids.size(), 2u) << "appends, and leaves the controller class out";
    EXPECT_EQ(ids[1].getStdString(), "5A454C56335457434C53FF000A000001") << "each byte as two digits";

    Vst3PluginInstance& byEmptyId = create(VST3_TESTVST3TWOCLASS);
    EXPECT_TRUE(byEmptyId.wasSucessfullyInstanciated());
    EXPECT_EQ(byEmptyId.getProductIdentifier(), ids[1]);
    for (const char* deviceId : {"not a class id", "00000000000000000000000000000001"}) {
        Vst3PluginInstance& none = create(VST3_TESTVST3TWOCLASS, deviceId);
        EXPECT_FALSE(none.wasSucessfullyInstanciated()) << deviceId;
    }
}

TEST_F(Vst3PluginTest, SetUpConnectsTheHalvesTheComponentHandlerChecksIdsAndValuesAndProgramsReachTheBlock) {
    Vst3PluginInstance& twoClass = start(VST3_TESTVST3TWOCLASS);
    EXPECT_EQ(twoClass.getPluginLatency(), 42) << "the controller's message reached the component";
    char display[32] = {};
    twoClass.getParameterDisplay(3, display, sizeof(display));
    EXPECT_STREQ(display, "0.7000") << "the component state reached the controller";

    Vst3PluginInstance& single = create(VST3_TESTVST3SINGLE);
    // The 5.1 main input is set back to stereo; the mono side chain stays mono. Vendor, category, classes
    // and channel counts are checked through `plugin-host info`.
    EXPECT_EQ(buses(single, true) + buses(single, false), "Main In:01 Side Chain:2 Main Out:01 ");
    EXPECT_TRUE(single.isControllerComponent());
    EXPECT_FALSE(twoClass.isControllerComponent() || single.supportsVST3NoteExpressions());
    // The program count is the program parameter's step count.
    EXPECT_EQ(std::make_pair(twoClass.getProgramCount(), single.getProgramCount()), std::make_pair(3, 0));
    EXPECT_FLOAT_EQ(single.getParameterNormalizedValue(2), 0.1f) << "\"Initialize calls\": once";
    char unit[4] = {'?', '?', '?', '?'};
    single.getParameterUnit(0, unit, 2);
    EXPECT_EQ(std::string(unit, 4), "ms??") << "at most the size given, no terminator added";

    // The component handler checks ids and values.
    Vst3Host& vst3Host = single.getVst3Host();
    constexpr Vst::ParamID TIME = 10, UNKNOWN = 4711;
    const struct {
        Vst::ParamID id;
        double value;
        tresult expected;
    } edits[] = {
        {TIME, 1.0, kResultOk},         {TIME, 0.0, kResultOk},        {TIME, 1.0000001, kInvalidArgument},
        {TIME, -0.1, kInvalidArgument}, {TIME, NAN, kInvalidArgument}, {UNKNOWN, 0.5, kInvalidArgument},
    };
    for (const auto& edit : edits)
        EXPECT_EQ(vst3Host.performEdit(edit.id, edit.value), edit.expected) << edit.id << " " << edit.value;
    EXPECT_EQ(vst3Host.beginEdit(UNKNOWN), kInvalidArgument);
    EXPECT_EQ(vst3Host.endEdit(UNKNOWN), kInvalidArgument);

    // While the plug-in edits a parameter, the client's values for it are ignored; others still apply.
    ASSERT_EQ(vst3Host.beginEdit(TIME), kResultOk);
    single.setParameterNormalizedValue(0, 0.9f);
    single.setParameterNormalizedValue(1, 1.0f);
    EXPECT_FLOAT_EQ(single.getParameterNormalizedValue(0), 0.5f) << "its default, kept";
    EXPECT_FLOAT_EQ(single.getParameterNormalizedValue(1), 1.0f);
    ASSERT_EQ(vst3Host.endEdit(TIME), kResultOk);
    single.setParameterNormalizedValue(0, 0.9f);
    EXPECT_FLOAT_EQ(single.getParameterNormalizedValue(0), 0.9f);

    // The run loop the host context and the editor frame offer is used by the two-class bundle's timer and
    // by real editors in the host-process tests.
    EXPECT_TRUE(FUnknownPtr<Vst::IHostApplication>(vst3Host.getContext()));

    // Programs come from the root unit's list; the last choice reaches the next block, whose output is the
    // last program value the processor got.
    char name[32] = {'x'};
    twoClass.getProgramName(2, name, sizeof(name));
    EXPECT_STREQ(name, "Lead");
    twoClass.setCurrentProgram(1, 0);
    twoClass.setCurrentProgram(2, 0);
    EXPECT_FLOAT_EQ(twoClass.getParameterNormalizedValue(2), 2.0f / 3.0f);
    EXPECT_TRUE(twoClass.isRefreshRequested()) << "the plug-in's restartComponent reached the instance";
    twoClass.setCurrentProgram(3, 0);
    EXPECT_FLOAT_EQ(twoClass.getParameterNormalizedValue(2), 2.0f / 3.0f) << "beyond the count: ignored";
    twoClass.process(64, true, false);
    EXPECT_FLOAT_EQ(context->getOutputChannel(0)[0], 2 / 3.0f) << "the later choice";
    twoClass.setCurrentProgram(0, 0);
    twoClass.process(64, true, false);
    EXPECT_FLOAT_EQ(context->getOutputChannel(0)[0], 0.0f);
}

TEST(Vst3Debug, FailuresNameLocationCodeAndSource) {
    const auto failure = [](tresult result) {
        try {
            Vst3Debug::throwErrorMessageException(result, "\"Step\"", "src/X", 653);
        } catch (const base::core::IOException& e) {
            return e.getMessage().getStdString();
        }
        return std::string("none");
    };
    EXPECT_EQ(failure(kNoInterface), "\"Step\" returned error code: -1 (kNoInterface)\n in src/X : 653");
    EXPECT_EQ(failure(42), "\"Step\" returned error code: 42 (Unknown result!)\n in src/X : 653");
    EXPECT_EQ(failure(kResultOk), "none");
    EXPECT_STREQ(Vst3Debug::getResultName(42), "unknown result");
}

TEST(Vst3PluginInstance, HostModifierBitsBecomeKeyModifiers) {
    // Shift 1, control 2, command 4, alternate 8 to the SDK's shift 1, alternate 2, command 4, control 8.
    const std::pair<int, int> cases[] = {{1, 1}, {2, 8}, {4, 4}, {8, 2}, {15, 15}, {16 | 32, 0}};
    for (const auto& [host, expected] : cases)
        EXPECT_EQ(Vst3PluginInstance::translateModifiers(host), expected) << host;
}

// One queue per id, points in the order added and queues emptied after the block: the block tests; queues
// reused without allocating: the audio-path allocation test.
TEST(Vst3ParameterChanges, AQueueHoldsAtMost128Points) {
    Vst3ParameterChanges changes;
    int32 index = -1;
    Vst::IParamValueQueue* first = changes.addParameterData(5, index);
    for (int32 point = 0; point < 128; ++point)
        ASSERT_EQ(first->addPoint(point, 0.5, index), kResultOk);
    EXPECT_EQ(first->addPoint(0, 1.0, index), kOutOfMemory);
    int32 offset = 0;
    Vst::ParamValue value = 0;
    EXPECT_EQ(first->getPoint(128, offset, value), kInvalidArgument);
    EXPECT_EQ(changes.getParameterData(1), nullptr);
}

TEST_F(Vst3PluginTest, ClientEventsBecomeEventsOrPointsAutomationIsSampleAccurateAndTheTailRingsOn) {
    Vst3PluginInstance& instance = start(VST3_TESTVST3PROCESSING);
    EXPECT_TRUE(instance.supportsVST3NoteExpressions());
    PluginHostEvent records[] = {
        midi(0x93, 60, 127, 7), midi(0x90, 61, 0),
        midi(0x81, 60, 64),     midi(0xA0, 60, 127),
        midi(0xF8, 0, 0),       midi(0x40, 1, 2),
        expression(0, 0.5f),    expression(0, 1.5f),
        expression(1, -1.0f),   expression(2, 12),
        expression(3, 0.3f),    expression(4, 0.7f),
        expression(5, 1.0f),    {},
    };
    PluginHostEvent& sysex = records[std::size(records) - 1];
    sysex.kind = PluginHostEvent::SYSEX;
    sysex.sysexSize = 4;
    std::memcpy(sysex.sysex.bytes, "\xF0\x01\x02\xF7", 4);
    Vst3EventList list;
    for (PluginHostEvent& record : records)
        list.addHostEvent(instance, record);

    std::vector<std::string> events;
    Vst::Event event{};
    for (int32 i = 0; i < list.getEventCount() && list.getEvent(i, event) == kResultOk; ++i)
        events.push_back(text(event));
    // System messages, stray data bytes and unknown expressions are dropped. Volume goes through the
    // plug-in's range 0 .. 0.5 (default) .. 1; type ids: volume 0, pan 1, tuning 2, brightness 5.
    EXPECT_EQ(events, (std::vector<std::string>{"on 7 ch3 60 v1 id828 len-1",
                                                "on 0 ch0 61 v0 id61 len-1", // velocity 0 stays a note-on
                                                "off 0 ch1 60 v0.5039", "pressure 0 ch0 60 1 id60",
                                                "expression type0 0.25 id576", "expression type0 0.75 id576",
                                                "expression type1 0 id576", "expression type2 0.55 id576",
                                                "expression type5 0.3 id576", "pressure 0 ch2 64 0.7 id576",
                                                "type 2"})); // the last a data event
    EXPECT_EQ(event.data.bytes, records[std::size(records) - 1].sysex.bytes)
        << "the bytes stay in the record";
    EXPECT_EQ(event.data.size, 4u);

    // Controllers and pitch bend go through the plug-in's MIDI mapping; unmapped ones are dropped.
    for (PluginHostEvent record : {midi(0xB0, 7, 127, 3), midi(0xB0, 8, 1), midi(0xE0, 0x7F, 0x7F, 4),
                                   midi(0xE0, 0x00, 0x40, 5), midi(0xD0, 100, 0)})
        list.addHostEvent(instance, record);
    EXPECT_EQ(list.getEventCount(), 11);
    Vst3ParameterChanges& changes = instance.getInputParameterChanges();
    ASSERT_EQ(changes.getParameterCount(), 2) << "one queue for both bend points";
    // (queue, point, id, offset, value); 8192 / 16383 is the middle.
    const std::tuple<int32, int32, Vst::ParamID, int32, double> points[] = {
        {0, 0, 1, 3, 1.0}, {1, 0, 2, 4, 1.0}, {1, 1, 2, 5, 0.500031}};
    for (const auto& [queue, point, id, offset, value] : points) {
        std::pair<int32, Vst::ParamValue> got;
        changes.getParameterData(queue)->getPoint(point, got.first, got.second);
        EXPECT_EQ(changes.getParameterData(queue)->getParameterId(), id);
        EXPECT_EQ(got.first, offset);
        EXPECT_NEAR(got.second, value, 1e-6);
    }
    changes.clear();

    // In a block: automation is sample-accurate and notes come back within the block.
    for (int channel = 0; channel < 2; ++channel)
        std::fill_n(context->getInputChannel(channel), 256, 1.0f);
    auto& automation = context->getParameterChanges();
    automation[0] = PluginParameterChange{0.25f, 0, 10};
    automation[1] = PluginParameterChange{0.75f, 0, 20};
    automation.setCount(2);
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

    // The result: the plug-in's tail of 100 samples rings on after the signal.
    EXPECT_EQ(instance.process(64, false, true), 2);
    EXPECT_EQ(instance.process(64, false, true), 0);
    instance.stopProcess();
    EXPECT_EQ(instance.process(64, false, true), 0) << "outside processing only the accounting runs";
    EXPECT_EQ(start(VST3_TESTVST3SINGLE).process(64, false, true), 0) << "no tail";
}

TEST_F(Vst3PluginTest, APresetCarriesTheComponentChunkToASeparateControllerAndToItsClassOnly) {
    Vst3PluginInstance& twoClass = create(VST3_TESTVST3TWOCLASS);
    const std::string path = directory + "-two.vstpreset", otherPath = directory + "-other.vstpreset";
    create(VST3_TESTVST3PROCESSING).savePreset(otherPath);
    twoClass.savePreset(path);
    twoClass.setParameterNormalizedValue(3, 0.0f);
    twoClass.loadPreset(path);
    EXPECT_FLOAT_EQ(twoClass.getParameterNormalizedValue(3), 0.7f) << "the component's state, 7";
    // The controller would take the other class's empty chunk as 0.
    twoClass.loadPreset(otherPath);
    EXPECT_FLOAT_EQ(twoClass.getParameterNormalizedValue(3), 0.7f) << "another class's preset is ignored";
    std::remove(path.c_str());
    std::remove(otherPath.c_str());

    const std::string missing = directory + "/no/such/dir/x.vstpreset";
    for (const bool saving : {true, false}) {
        try {
            saving ? twoClass.savePreset(missing) : twoClass.loadPreset(missing);
            ADD_FAILURE() << "no exception, saving " << saving;
        } catch (const base::core::IOException& error) {
            EXPECT_EQ(error.getMessage().getStdString(), std::string("Error opening VST3 preset for ") +
                                                             (saving ? "writing: " : "reading: ") + missing);
        }
    }
}
