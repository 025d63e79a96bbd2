// VST 2 in the host's own process: modules and instances against the test describer and shell, and
// Vst2PluginInstance::process and Vst2PresetFile against an effect in memory.

#include "HeapAudioContext.h"
#include "TestPluginWindow.h"
#include "testplugins/TestPlugin.h"

#include "base/core/IOException.h"
#include "plugin/PluginAudioBus.h"
#include "plugin/PluginHost.h"
#include "vst2/Vst2Plugin.h"
#include "vst2/Vst2PluginApi.h"
#include "vst2/Vst2PluginInstance.h"
#include "vst2/Vst2PresetFile.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace plugin;
using namespace std::string_literals;
using base::core::SmartPtr;
using base::core::String;

namespace {

constexpr VstInt32 ID = 0x5A745072;

// An effect in memory whose answers the test sets and which records what the host hands it.
struct FakeEffect : TestPlugin {
    FakeEffect(int programs, int params, VstInt32 flags, VstInt32 id = ID)
        : TestPlugin(vstAudioMasterCallback, id, "Fake", 2, 2, flags),
          values(std::max(programs, 1), std::vector<float>(params)) {
        effect.numPrograms = programs;
        effect.numParams = params;
        effect.version = 7;
        effect.process = [](AEffect* e, float** in, float** out, VstInt32) {
            static_cast<FakeEffect*>(e->object)->render(in, out, "accumulating");
        };
    }

    VstIntPtr dispatch(VstInt32 op, VstInt32 index, VstIntPtr value, void* ptr, float opt) override {
        opcodes.push_back(op);
        switch (op) {
        case effClose:
            return 1; // the test owns it
        case effGetTailSize:
            return tailSize;
        case effProcessEvents:
            describe(*static_cast<const VstEvents*>(ptr), eventBlocks.emplace_back());
            return 1;
        case effSetProgram:
            program = static_cast<int>(value);
            return 0;
        case effGetProgram:
            return program;
        case effSetProgramName:
            names[program] = static_cast<char*>(ptr);
            return 0;
        case effGetProgramNameIndexed:
            std::snprintf(static_cast<char*>(ptr), 24, "Program %d", index);
            return 0;
        case effGetChunk:
            *static_cast<void**>(ptr) = chunk.data();
            return static_cast<VstIntPtr>(chunk.size());
        case effSetChunk:
            chunk.assign(static_cast<char*>(ptr), value);
            chunkIndex = index;
            return 0;
        case effBeginLoadBank:
            return refuseBank ? -1 : 0;
        case effEditGetRect:
            *static_cast<ERect**>(ptr) = &editorRect;
            return 1;
        default:
            return TestPlugin::dispatch(op, index, value, ptr, opt);
        }
    }
    VstIntPtr canDo(const char* capability) override { return capabilityNames.count(capability); }
    void setParameter(VstInt32 index, float value) override {
        parameterCalls.push_back({index, value});
        values[program].at(index) = value; // a parameter beyond the count fails the test
    }
    float getParameter(VstInt32 index) override { return values[program][index]; }
    void process(float** inputs, float** outputs, VstInt32) override { render(inputs, outputs, "replacing"); }

    static void describe(const VstEvents& events, std::vector<std::string>& block) {
        for (int i = 0; i < events.numEvents; ++i) {
            const auto* event = reinterpret_cast<const VstMidiSysexEvent*>(events.events[i]);
            const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
            block.push_back(event->type == kVstMidiType
                                ? "midi " + std::to_string(event->deltaFrames) + " " +
                                      std::to_string(static_cast<unsigned char>(midi->midiData[1]))
                                : "sysex " + std::string(event->sysexDump, event->dumpBytes));
        }
    }
    void render(float** inputs, float** outputs, const char* routine) {
        routines.push_back(routine);
        firstOutputSampleSeen = outputs[0][0];
        outputs[0][0] += 1.0f;
        outputs[1][1] = inputs[1][1] + 0.5f;
        processLevel = host(&effect, audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f);
        sendEvents(sent.data(), static_cast<int>(sent.size()));
    }

    std::set<std::string> capabilityNames;
    VstIntPtr tailSize = 0;
    std::vector<std::vector<std::string>> eventBlocks;
    std::vector<std::pair<int, float>> parameterCalls;
    std::vector<std::string> routines;
    float firstOutputSampleSeen = -1.0f;
    VstIntPtr processLevel = -1; // the host's answer during the last routine call
    std::vector<VstEvent*> sent; // handed to the host from inside the routine
    std::vector<std::vector<float>> values;
    int program = 0;
    std::map<int, std::string> names;
    std::string chunk;
    int chunkIndex = -1;
    bool refuseBank = false;
    ERect editorRect{0, 0, 200, 320}; // top, left, bottom, right
    std::vector<VstInt32> opcodes;
};

// How many effects the test describer's entry function has made; the host has loaded the module already.
int describerEffectsMade() {
    void* module = dlopen(VST2_TESTDESCRIBER, RTLD_NOW | RTLD_NOLOAD);
    const int made = *static_cast<int*>(dlsym(module, "zelvarTestCreatedEffects"));
    dlclose(module);
    return made;
}

class Vst2PluginTest : public testing::Test {
protected:
    void SetUp() override { previousApi = std::exchange(VST2_PLUGIN_API_INSTANCE, &api); }
    void TearDown() override {
        scripted.reset();
        host.reset();
        VST2_PLUGIN_API_INSTANCE = previousApi;
    }

    // An instance on the in-memory effect, instead of one made before.
    Vst2PluginInstance* make(bool flag = false) {
        scripted = new Vst2PluginInstance(host.get(), nullptr, 1, flag, 0);
        scripted->initNativePlugin(&effect.effect);
        return scripted.get();
    }
    // Opens one and starts processing.
    void start(int latency = 0) {
        effect.effect.initialDelay = latency;
        make()->open();
        context = new test::HeapAudioContext(256, 2, 2, 4, true);
        context->init();
        context->clearAndWriteGuards();
        scripted->setAudioContext(context.get());
        scripted->startProcess();
    }
    std::vector<VstInt32> takeOpcodes() { return std::exchange(effect.opcodes, {}); }

    void add(PluginHostEvent::Kind kind, uint16_t offset, uint8_t note, const char* sysex = "") {
        auto& events = context->getInputEvents();
        PluginHostEvent& record = events[events.count()];
        record.kind = kind;
        record.sampleOffset = offset;
        record.midi[0] = 0x90;
        record.midi[1] = note;
        record.midi[2] = 100;
        if (kind == PluginHostEvent::SYSEX) {
            record.sysexSize = static_cast<uint8_t>(std::strlen(sysex));
            std::memcpy(record.sysex.bytes, sysex, record.sysexSize);
        }
        events.setCount(events.count() + 1);
    }

    static VstIntPtr callback(Vst2PluginInstance* instance, VstInt32 opcode, VstInt32 index = 0,
                              VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f) {
        return vstAudioMasterCallback(instance ? instance->getEffect() : nullptr, opcode, index, value, ptr,
                                      opt);
    }

    Vst2PluginApi api;
    PluginApi* previousApi = nullptr;
    SmartPtr<PluginHost> host{new PluginHost(44100, 256)};
    SmartPtr<test::HeapAudioContext> context;
    FakeEffect effect{0, 4, effFlagsCanReplacing};
    SmartPtr<Vst2PluginInstance> scripted; // on the in-memory effect
};

std::string busText(Vst2PluginInstance& instance, bool inputs) {
    std::vector<SmartPtr<PluginAudioBus>> buses;
    inputs ? instance.listAudioInputBuses(buses) : instance.listAudioOutputBuses(buses);
    std::string text;
    for (const SmartPtr<PluginAudioBus>& bus : buses) {
        text += bus->getName().getStdString() + ":";
        for (int channel : bus->getChannels())
            text += std::to_string(channel);
        text += " ";
    }
    return text;
}

std::string infoText(const PluginParameterInfo& info) {
    return std::to_string(info.index) + (info.automatable ? " automatable" : "") +
           (info.isInteger ? " integer" : "") + (info.isBoolean ? " boolean" : "") + " " +
           std::to_string(info.minValue) + ".." + std::to_string(info.maxValue) + " " +
           info.category.getStdString();
}

// The bytes of a file, 32-bit fields in either byte order.
struct Bytes {
    bool littleEndian = false;
    std::string data;
    Bytes& operator<<(int32_t value) {
        for (int i = 0; i < 4; ++i)
            data += static_cast<char>(static_cast<uint32_t>(value) >> (littleEndian ? 8 * i : 24 - 8 * i));
        return *this;
    }
    Bytes& operator<<(float v) { return *this << std::bit_cast<int32_t>(v); }
};

// A bank header to the end of its future bytes; a version-2 bank that selects program 1.
Bytes bank(bool littleEndian, VstInt32 fxMagic, VstInt32 id, int programs) {
    Bytes b;
    b << cMagic << 0 << fxMagic;
    b.littleEndian = littleEndian;
    b << 2 << id << 1 << programs << 1;
    b.data += std::string(124, '\0');
    return b;
}
Bytes& program(Bytes& b, VstInt32 fxMagic, VstInt32 id, std::vector<float> values) {
    b << cMagic << 0 << fxMagic << 1 << id << 1 << int(values.size());
    b.data += std::string(28, 'n');
    for (float v : values)
        b << v;
    return b;
}
Bytes program(VstInt32 id, std::vector<float> values) {
    Bytes b;
    return program(b, fMagic, id, values);
}

std::string pathOf(const std::string& name) {
    return testing::TempDir() + "vst2preset-" + std::to_string(getpid()) + "-" + name;
}
std::string write(const std::string& name, const std::string& data) {
    const std::string path = pathOf(name);
    std::ofstream(path, std::ios::binary) << data;
    return path;
}
std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

// The product texts, classes, a shell's device ids and the failures of listing and creating are checked
// through `plugin-host info`.
TEST_F(Vst2PluginTest, LifecycleSendsTheDispatcherCallsInOrder) {
    Vst2PluginInstance* instance = make();
    EXPECT_EQ(takeOpcodes(), (std::vector<VstInt32>{effGetVstVersion, effGetPlugCategory}));
    EXPECT_EQ(instance->getPluginState(), PluginInstance::CREATED);
    instance->open();
    EXPECT_EQ(takeOpcodes(),
              (std::vector<VstInt32>{effOpen, effSetSampleRate, effSetBlockSize, effCanDo, effCanDo, effCanDo,
                                     effGetPlugCategory, effMainsChanged}));
    EXPECT_EQ(instance->getPluginState(), PluginInstance::OPEN);
    instance->startProcess();
    takeOpcodes();

    // Destroying while processing stops processing first; releasing the object afterwards closes nothing.
    instance->destroy();
    EXPECT_EQ(instance->getPluginState(), PluginInstance::DESTROYED);
    scripted.reset();
    EXPECT_EQ(takeOpcodes(), (std::vector<VstInt32>{effStopProcess, effMainsChanged, effClose}));

    // An open instance that is released without destroy closes its effect once.
    make()->open();
    takeOpcodes();
    scripted.reset();
    EXPECT_EQ(takeOpcodes(), std::vector<VstInt32>{effClose});
}

// The effect made to list the ids is reused by the first instance only.
TEST_F(Vst2PluginTest, ListsIdsAndDescribesCapabilitiesBusesParametersProgramsAndKeyNames) {
    Plugin* plugin = host->getPlugin(VST2_TESTDESCRIBER);
    const int before = describerEffectsMade();
    std::vector<String> ids;
    plugin->listDeviceIds(ids);
    EXPECT_EQ(ids, std::vector<String>{"1517569125"});
    SmartPtr<PluginInstance> created = plugin->createInstance(7, ids[0], false);
    EXPECT_EQ(describerEffectsMade(), before + 1);
    SmartPtr<PluginInstance> second = plugin->createInstance(8, String(), false);
    EXPECT_EQ(describerEffectsMade(), before + 2);
    second->open(); // an instance never opened keeps its effect: the plug-in frees itself only in effClose
    created->open();
    auto* instance = dynamic_cast<Vst2PluginInstance*>(created.get());
    EXPECT_EQ(instance->getPluginLatency(), 64);
    EXPECT_TRUE(instance->hasGUI() && instance->supportsMPE());
    EXPECT_FALSE(instance->wantSysexEvents()) << "answered -1, not 1";
    EXPECT_FALSE(instance->supportsDPIScaling()) << "answered 2, not 1";

    // Pin properties first, then pairs, then singles.
    EXPECT_EQ(busText(*instance, true), "Eingang \xc3\x9c:01 Seitenkette \xc3\x84:2 Mono In:3 ");
    EXPECT_EQ(busText(*instance, false), "Stereo Out 1:01 Stereo Out 2:23 Stereo Out 3:45 Mono Out 1:0 "
                                         "Mono Out 2:1 Mono Out 3:2 Mono Out 4:3 Mono Out 5:4 Mono Out 6:5 ");

    std::vector<std::string> names, infos;
    for (int index = 0; index < 4; ++index) {
        char name[256] = {};
        instance->getParameterName(index, name, sizeof name);
        names.push_back(name);
        PluginParameterInfo info;
        instance->getParameterInfo(index, info);
        infos.push_back(infoText(info));
    }
    // A property label wins over the plain name; without one (or with an empty one) the name is used.
    EXPECT_EQ(names, (std::vector<std::string>{"Gain", "Mode", "Bypass Switch", "Mix"}));
    // Display index and category count only when the flags announce them.
    EXPECT_EQ(infos, (std::vector<std::string>{"0 automatable 0..0 ", "3 automatable integer 0..3 Filter",
                                               "2 boolean 0..1 ", "-2 automatable -5..5 "}));

    // "---" and an answer of 0 are no name; a full record is cut at its last byte.
    std::vector<String> keys;
    for (int key : {36, 40, 44, 50})
        keys.push_back(instance->getKeyName(key));
    EXPECT_EQ(keys, (std::vector<String>{"Kick", "", std::string(63, 'x'), ""}));
    instance->setCurrentProgram(1, 0);
    EXPECT_EQ(instance->getCurrentProgram(), 1);
    EXPECT_EQ(instance->getKeyName(36), "Kick (Bright)") << "asked for the current program";
}

TEST_F(Vst2PluginTest, HostCallbackAnswersEditGesturesAndTransport) {
    Vst2PluginInstance* i = make();
    i->open();

    // Without an instance: during creation, or for an effect made only to list ids.
    std::vector<VstIntPtr> answers;
    for (VstInt32 opcode : std::initializer_list<VstInt32>{
             audioMasterVersion, audioMasterSizeWindow, audioMasterIOChanged, audioMasterBeginEdit,
             audioMasterProcessEvents, audioMasterGetCurrentProcessLevel, audioMasterGetTime})
        answers.push_back(callback(nullptr, opcode, 1, 480));
    EXPECT_EQ(answers, (std::vector<VstIntPtr>{2400, 1, 1, 1, 0, 0, 0}));

    // An edit gesture holds off the client's value.
    EXPECT_EQ(callback(i, audioMasterBeginEdit, 1), 1);
    i->setParameterNormalizedValue(1, 0.7f);
    EXPECT_EQ(i->getParameterNormalizedValue(1), 0.0f);
    EXPECT_EQ(callback(i, audioMasterEndEdit, 1), 1);
    EXPECT_EQ(i->getEditedParameter(), -1);
    i->setParameterNormalizedValue(1, 0.7f);
    EXPECT_EQ(i->getParameterNormalizedValue(1), 0.7f);

    // Time info and latencies come from the transport record.
    EXPECT_EQ(callback(i, audioMasterGetTime), 0) << "no audio context yet";
    EXPECT_EQ(callback(i, audioMasterGetInputLatency), 0);

    start();
    i = scripted.get();
    PluginTransportInfo& transport = *context->getTransport();
    transport = {48000, 120, 8.5, {}, 1e9, 8, 4, 12, 17, 33, 123456789012ull, 0, 7, 8, {}};
    auto* time = reinterpret_cast<VstTimeInfo*>(callback(i, audioMasterGetTime, 0, 0xffff));
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(std::make_tuple(time->samplePos, time->sampleRate, time->nanoSeconds, time->ppqPos, time->tempo,
                              time->barStartPos, time->cycleStartPos, time->cycleEndPos,
                              time->timeSigNumerator, time->timeSigDenominator, time->flags),
              std::make_tuple(123456789012.0, 48000.0, 1e9, 8.5, 120.0, 8.0, 4.0, 12.0, 7, 8, 0x3780));

    transport.flags = PluginTransportInfo::PLAYING | (1u << 2) | PluginTransportInfo::LOOP_ACTIVE |
                      PluginTransportInfo::RECORDING | PluginTransportInfo::AUTOMATION_WRITING;
    time = reinterpret_cast<VstTimeInfo*>(callback(i, audioMasterGetTime));
    EXPECT_EQ(time->flags, 0x3780 | kVstTransportChanged | kVstTransportPlaying | kVstTransportCycleActive |
                               kVstTransportRecording | kVstAutomationWriting);
    EXPECT_EQ(callback(i, audioMasterGetInputLatency), 17);
    EXPECT_EQ(callback(i, audioMasterGetOutputLatency), 33);
}

TEST_F(Vst2PluginTest, ProcessRunsTheRoutineTakesItsMidiAndAppliesParameterChanges) {
    VstMidiEvent early = midiEvent(-5, 0x90, 60, 100), late = midiEvent(10000, 0x80, 61, 0);
    char dump[] = {'\xf0', 0x7e, '\xf7'};
    VstMidiSysexEvent sysex{kVstSysExType, sizeof(VstMidiSysexEvent), 0, 0, 3, 0, dump, 0};
    effect.sent = {reinterpret_cast<VstEvent*>(&early), reinterpret_cast<VstEvent*>(&sysex),
                   reinterpret_cast<VstEvent*>(&late)};
    start();
    context->getInputChannel(1)[1] = 0.25f;
    EXPECT_EQ(scripted->process(256, true, true), 1);
    EXPECT_EQ(context->getOutputChannel(1)[1], 0.75f);
    EXPECT_EQ(effect.routines, std::vector<std::string>{"replacing"});
    EXPECT_EQ(effect.processLevel, kVstProcessLevelUser);
    // Only the MIDI events arrive, their offsets clamped to the block. The records are packed: fields are
    // copied out before comparing.
    auto& events = context->getOutputEvents();
    ASSERT_EQ(events.count(), 2u);
    const PluginHostEvent first = events[0], last = events[1];
    EXPECT_EQ(std::make_tuple(first.kind, first.sampleOffset, first.midi[1], last.sampleOffset, last.midi[1]),
              std::make_tuple(PluginHostEvent::MIDI, 0, 60, 255, 61));

    // From the plug-in's own thread after a block: nothing to attach them to.
    events.setCount(0);
    effect.sendEvents(effect.sent.data(), 3);
    EXPECT_EQ(events.count(), 0u);

    // Off the main thread the process level follows the realtime flag.
    effect.sent.clear();
    std::thread([&] { scripted->process(256, false, true); }).join();
    EXPECT_EQ(effect.processLevel, kVstProcessLevelRealtime);
    std::thread([&] { scripted->process(256, false, false); }).join();
    EXPECT_EQ(effect.processLevel, kVstProcessLevelOffline);

    // The accumulating routine finds a cleared output area.
    effect.effect.flags = 0;
    start();
    context->getOutputChannel(0)[0] = 5.0f;
    scripted->process(64, true, true);
    EXPECT_EQ(effect.routines.back(), "accumulating");
    EXPECT_EQ(effect.firstOutputSampleSeen, 0.0f);
    EXPECT_TRUE(context->guardsIntact());

    // Stopped: nothing rendered, but the block's parameter changes apply in order; watched ones are marked.
    scripted->stopProcess();
    effect.routines.clear();
    auto& changes = context->getParameterChanges();
    changes[0] = PluginParameterChange{0.25f, 3, 0};
    changes[1] = PluginParameterChange{0.75f, 1, 10};
    changes.setCount(2);
    context->parameterFlag(1).store(PluginAudioContext::PARAMETER_WATCHED);
    scripted->process(64, true, true);
    EXPECT_TRUE(effect.routines.empty());
    EXPECT_EQ(effect.parameterCalls, (std::vector<std::pair<int, float>>{{3, 0.25f}, {1, 0.75f}}));
    EXPECT_NE(context->parameterFlag(1).load() & PluginAudioContext::PARAMETER_CHANGED, 0);
}

// The editor opens in a window from the host's factory; what the window is asked to do, and in which
// order, is the adapter's part (its title and place are checked on a real display).
TEST_F(Vst2PluginTest, OpenGUIEmbedsThenSizesAndShowsTheWindow) {
    // Made with the creation flag: the plug-in also hears the content scaling.
    Vst2PluginInstance* instance = make(true);
    instance->open();
    test::TestPluginWindow* window = nullptr;
    std::pair<int, int> askedSize;
    bool attachable = true;
    host->setPluginWindowFactory([&](PluginInstance* owner, int64_t parentId, int width, int height, bool) {
        askedSize = {width, height};
        auto made = std::make_unique<test::TestPluginWindow>(host.get(), owner);
        made->attachable = attachable;
        window = made.get();
        return parentId ? std::move(made) : nullptr; // none for a parent of 0
    });
    takeOpcodes();
    instance->openGUI(reinterpret_cast<void*>(0x1234), true, "Editor");
    ASSERT_EQ(instance->getWindow(), window);
    // Made before the plug-in is asked anything, with the size the client stored (none yet).
    EXPECT_EQ(askedSize, std::make_pair(0, 0));
    EXPECT_EQ(takeOpcodes(),
              (std::vector<VstInt32>{effEditGetRect, effVendorSpecific, effEditOpen, effEditGetRect}));
    EXPECT_EQ(window->sizes, (std::vector<std::pair<int, int>>{{320, 200}}));
    EXPECT_EQ(std::make_tuple(window->attachedCount, window->showCount, window->activateCount),
              std::make_tuple(1, 1, 1));
    EXPECT_TRUE(window->suppressedWhileShown);
    EXPECT_FALSE(instance->areWindowNotificationsSuppressed());

    // Open already: nothing happens. Idle drives the editor; a plug-in's own resize reaches the window.
    instance->openGUI(nullptr, false, "Again");
    instance->idle();
    EXPECT_EQ(takeOpcodes(), std::vector<VstInt32>{effEditIdle});
    callback(instance, audioMasterSizeWindow, 400, 300);
    callback(instance, audioMasterSizeWindow, 9, 300); // too small to apply
    EXPECT_EQ(window->sizes, (std::vector<std::pair<int, int>>{{320, 200}, {400, 300}}));

    instance->closeGUI();
    EXPECT_EQ(instance->getWindow(), nullptr);
    EXPECT_EQ(takeOpcodes(), std::vector<VstInt32>{effEditClose});

    // Without a window the plug-in is not asked anything: some build their editor to answer.
    instance->openGUI(nullptr, false, "Nowhere");
    EXPECT_EQ(takeOpcodes(), std::vector<VstInt32>{});
    attachable = false;
    instance->openGUI(reinterpret_cast<void*>(0x1), false, "Refused");
    EXPECT_EQ(instance->getWindow(), nullptr);
    EXPECT_EQ(takeOpcodes(),
              (std::vector<VstInt32>{effEditGetRect, effVendorSpecific, effEditOpen, effEditClose}));
}

TEST_F(Vst2PluginTest, EventsGoOnlyToPluginsThatTakeMidiAndOnlyWhenThereAreSomeUpToTheStorage) {
    start();
    add(PluginHostEvent::MIDI, 5, 60);
    scripted->process(64, true, true);
    EXPECT_TRUE(effect.eventBlocks.empty()) << "an effect that takes no MIDI got events";

    effect.capabilityNames = {"receiveVstMidiEvent"};
    start();
    scripted->process(64, true, true);
    EXPECT_TRUE(effect.eventBlocks.empty()) << "an empty list was delivered";
    add(PluginHostEvent::MIDI, 5, 60);
    add(PluginHostEvent::SYSEX, 3, 0, "abc");
    scripted->process(64, true, true);
    // Sysex only for plug-ins that asked for it; all-sysex blocks still send an empty list.
    context->getInputEvents().setCount(0);
    add(PluginHostEvent::SYSEX, 3, 0, "xy");
    scripted->process(64, true, true);
    EXPECT_EQ(effect.eventBlocks, (std::vector<std::vector<std::string>>{{"midi 5 60"}, {}}));

    // Events beyond the storage are dropped silently.
    const struct {
        bool synth;
        bool sysex;
        int notes;
        size_t delivered;
        const char* last;
    } cases[] = {
        // 8192 bytes of storage: the 48-byte sysex event and 254 of the 32-byte notes.
        {false, true, 255, 255, "midi 253 125"},
        // A synth takes MIDI without saying so; 256 notes fill the storage.
        {true, false, 300, 256, "midi 255 127"},
    };
    for (const auto& c : cases) {
        effect.effect.flags = effFlagsCanReplacing | (c.synth ? effFlagsIsSynth : 0);
        effect.capabilityNames = {c.synth ? "" : "receiveVstMidiEvent", "receiveVstSysexEvent"};
        effect.eventBlocks.clear();
        start();
        if (c.sysex)
            add(PluginHostEvent::SYSEX, 3, 0, "F0 7F");
        for (int i = 0; i < c.notes; ++i)
            add(PluginHostEvent::MIDI, static_cast<uint16_t>(i % 256), static_cast<uint8_t>(i % 128));
        testing::internal::CaptureStdout();
        scripted->process(256, true, true);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        ASSERT_EQ(effect.eventBlocks.size(), 1u);
        EXPECT_EQ(effect.eventBlocks[0].size(), c.delivered);
        EXPECT_EQ(effect.eventBlocks[0].front(), c.sysex ? "sysex F0 7F" : "midi 0 0");
        EXPECT_EQ(effect.eventBlocks[0].back(), c.last);
    }
}

TEST_F(Vst2PluginTest, ResultFollowsTheTail) {
    const struct {
        const char* name;
        VstIntPtr tail;
        int latency;
        VstInt32 flags;
        VstInt32 category;
        const char* blocks; // per block of 256 frames: '+' active, answered 1, else the expected result
    } cases[] = {
        {"no tail", 1, 0, 0, kPlugCategEffect, "0+"},
        // Unknown, and no promise of silence in stop.
        {"unknown", 0, 0, 0, kPlugCategEffect, "2222"},
        {"silent in stop", 0, 0, effFlagsNoSoundInStop, kPlugCategEffect, "0"},
        {"generator", 1, 0, 0, kPlugCategGenerator, "1"},
        // Silence counter 256, 512, 768, and 1024 exactly at 64 + 960: still sounding; an active block
        // starts the count again.
        {"long", 960, 64, 0, kPlugCategEffect, "22220+2"},
    };
    for (const auto& c : cases) {
        effect.tailSize = c.tail;
        effect.effect.flags = effFlagsCanReplacing | c.flags;
        effect.category = c.category;
        start(c.latency);
        for (const char* block = c.blocks; *block; ++block)
            EXPECT_EQ(scripted->process(256, *block == '+', true), *block == '+' ? 1 : *block - '0')
                << c.name << ", block " << block - c.blocks;
    }
}

TEST(Vst2PresetFile, ParameterAndChunkBanksAreWrittenInTheBankLayoutAndLoadBackInEitherByteOrder) {
    FakeEffect saved(3, 2, 0);
    saved.values = {{0.1f, 0.2f}, {0.3f, 0.4f}, {0.5f, 0.6f}};
    saved.program = 2;
    const std::string path = pathOf("params.fxb");
    Vst2PresetFile(&saved.effect).save(path);
    const std::string file = read(path);
    ASSERT_EQ(file.size(), 348u);
    EXPECT_EQ(file.substr(0, 32), (Bytes() << cMagic << 332 << bankMagic << 2 << ID << 7 << 3 << 2).data);
    const std::string second = (Bytes() << cMagic << 60 << fMagic << 2 << ID << 7 << 2).data + "Program 1\0"s;
    EXPECT_EQ(file.substr(156 + 64, second.size()), second);
    EXPECT_EQ(saved.program, 2);

    FakeEffect loaded(3, 2, 0);
    Vst2PresetFile(&loaded.effect).load(path);
    EXPECT_EQ(loaded.values, saved.values);
    EXPECT_EQ(loaded.names[1], "Program 1");
    EXPECT_EQ(loaded.program, 2);

    FakeEffect chunked(0, 4, effFlagsProgramChunks);
    chunked.chunk = "state\0bytes"s;
    const std::string chunkPath = pathOf("chunk.fxb");
    Vst2PresetFile(&chunked.effect).save(chunkPath);
    EXPECT_EQ(read(chunkPath).substr(4, 8), (Bytes() << 163 << chunkBankMagic).data);
    FakeEffect reloaded(0, 4, effFlagsProgramChunks);
    Vst2PresetFile(&reloaded.effect).load(chunkPath);
    EXPECT_EQ(reloaded.chunk, chunked.chunk);
    EXPECT_EQ(reloaded.chunkIndex, 0);

    // Little-endian banks load too.
    Bytes littleEndian = bank(true, bankMagic, ID, 2);
    program(program(littleEndian, fMagic, ID, {0.25f, 0.75f, 0.5f}), fMagic, ID, {1.0f, 0.0f, 0.5f});
    FakeEffect effect(2, 2, 0); // the third value of each program has no parameter
    Vst2PresetFile(&effect.effect).load(write("le.fxb", littleEndian.data));
    EXPECT_EQ(effect.values, (std::vector<std::vector<float>>{{0.25f, 0.75f}, {1.0f, 0.0f}}));
    EXPECT_EQ(effect.program, 1);
}

TEST(Vst2PresetFile, FailuresNameTheirCauseAndEndTheProgramChange) {
    Bytes foreignRecord = bank(false, bankMagic, ID, 2);
    program(program(foreignRecord, fMagic, ID, {0.5f}), fMagic, ID + 1, {0.5f});
    Bytes chunkRecord = bank(false, bankMagic, ID, 1);
    program(chunkRecord, chunkPresetMagic, ID, {});
    const std::string riff = "RIFF\0\0\0\0NIKS"s;
    const struct {
        const char* name;
        std::string data;
        bool chunks;
        std::string message;
    } cases[] = {
        {"magic.fxp", "RIFF0000", false, "Invalid format id: 1380533830"},
        {"kind.fxb", bank(false, chunkBankMagic, ID, 0).data, false,
         "Error loading vst2 bank/preset: " + pathOf("kind.fxb")},
        {"device.fxp", program(ID + 1, {}).data, false, "Incorrect device id in program"},
        {"unique.fxb", bank(false, bankMagic, ID + 1, 0).data, false, "Incorrect unique id"},
        {"refused.fxb", bank(false, chunkBankMagic, ID, 0).data, true, "Vst-plugin refused to load bank"},
        {"negative.fxb", (bank(false, chunkBankMagic, ID, 0) << -1).data, true, "Data size is negative"},
        {"format.fxb", chunkRecord.data, false, "Incorrect program format id for progam 0"},
        {"record.fxb", foreignRecord.data, false, "Incorrect unique id for program 1"},
        {"selector.nksf", riff + "PCHK\x08\0\0\0\x02\0\0\0\0\0\0\0"s, false,
         "Expected 0 or 1 for if bank or preset"},
        {"short.nksf", riff + "PCHK\x02\0\0\0xx"s, false, "PCHK chunk must be at least 4 bytes long"},
        {"none.nksf", riff + "NISI\x03\0\0\0abc\0"s, false, "No plugin data chunk found in NKSF file"},
    };
    for (const auto& c : cases) {
        FakeEffect effect(2, 1, c.chunks ? effFlagsProgramChunks : 0);
        effect.refuseBank = std::string(c.name) == "refused.fxb";
        try {
            Vst2PresetFile(&effect.effect).load(write(c.name, c.data));
            ADD_FAILURE() << c.name << " loaded";
        } catch (const base::core::IOException& e) {
            EXPECT_EQ(e.getMessage().getStdString(), c.message) << c.name;
        }
        // Once a program or bank header is read, the plug-in always hears that the change is over.
        const bool pastHeader = c.data.size() > 16 && c.data.rfind("RIFF", 0) != 0;
        EXPECT_EQ(!effect.opcodes.empty() && effect.opcodes.back() == effEndSetProgram, pastHeader) << c.name;
    }
}

TEST(Vst2PluginInstance, HostModifierBitsBecomeKeyModifiers) {
    const std::pair<int, int> cases[] = {
        {1, MODIFIER_SHIFT}, {2, MODIFIER_COMMAND}, {4, MODIFIER_CONTROL}, {8, MODIFIER_ALTERNATE},
        {0xff, 15},
    };
    for (const auto& [host, expected] : cases)
        EXPECT_EQ(Vst2PluginInstance::translateModifiers(host), expected) << host;
}
