// VST 2 in the host's own process: modules and instances against the test describer and shell, and
// Vst2PluginInstance::process and Vst2PresetFile against an effect in memory.

#include "HeapAudioContext.h"
#include "TestPluginWindow.h"

#include "base/core/IOException.h"
#include "base/core/NumberFormatException.h"
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
#include <type_traits>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace plugin;
using namespace std::string_literals;
using base::core::SmartPtr;
using base::core::String;

namespace {

constexpr VstInt32 ID = 0x5A745072;

// An AEffect whose answers the test sets and which records what the host hands it.
struct FakeEffect {
    FakeEffect(int programs, int params, VstInt32 flags, VstInt32 id = ID)
        : values(std::max(programs, 1), std::vector<float>(params)) {
        effect.magic = kEffectMagic;
        effect.object = this;
        effect.numInputs = effect.numOutputs = 2;
        effect.numPrograms = programs;
        effect.numParams = params;
        effect.flags = flags;
        effect.uniqueID = id;
        effect.version = 7;
        effect.dispatcher = [](AEffect* e, VstInt32 op, VstInt32 index, VstIntPtr value, void* ptr, float) {
            return of(e).dispatch(op, index, value, ptr);
        };
        effect.processReplacing = [](AEffect* e, float**, float** out, VstInt32) {
            of(e).render(out, "replacing");
        };
        effect.process = [](AEffect* e, float**, float** out, VstInt32) {
            of(e).render(out, "accumulating");
        };
        effect.setParameter = [](AEffect* e, VstInt32 i, float v) {
            of(e).parameterCalls.push_back({i, v});
            of(e).values[of(e).program][i] = v;
        };
        effect.getParameter = [](AEffect* e, VstInt32 i) { return of(e).values[of(e).program][i]; };
    }
    static FakeEffect& of(AEffect* e) { return *static_cast<FakeEffect*>(e->object); }

    VstIntPtr dispatch(VstInt32 op, VstInt32 index, VstIntPtr value, void* ptr) {
        opcodes.push_back(op);
        switch (op) {
        case effCanDo:
            return capabilities.count(static_cast<const char*>(ptr));
        case effGetTailSize:
            return tailSize;
        case effGetPlugCategory:
            return category;
        case effProcessEvents:
            eventBlocks.push_back(describe(*static_cast<const VstEvents*>(ptr)));
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
        default:
            return 0;
        }
    }
    static std::vector<std::string> describe(const VstEvents& events) {
        std::vector<std::string> block;
        for (int i = 0; i < events.numEvents; ++i) {
            const auto* midi = reinterpret_cast<const VstMidiEvent*>(events.events[i]);
            const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(events.events[i]);
            block.push_back(midi->type == kVstMidiType
                                ? "midi " + std::to_string(midi->deltaFrames) + " " +
                                      std::to_string(static_cast<unsigned char>(midi->midiData[1]))
                                : "sysex " + std::to_string(sysex->dumpBytes) + " " +
                                      std::string(sysex->sysexDump, sysex->dumpBytes));
        }
        return block;
    }
    void render(float** outputs, const char* routine) {
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
    std::vector<std::vector<float>> values;
    int program = 0;
    std::map<int, std::string> names;
    std::string chunk;
    int chunkIndex = -1;
    bool refuseBank = false;
    std::vector<VstInt32> opcodes;
};

// What the test describer module records about the host's calls.
struct DescriberProbe {
    template <typename Function> static Function* find(const char* name) {
        // The host has loaded the module already; this only finds it.
        void* module = dlopen(VST2_TESTDESCRIBER, RTLD_NOW | RTLD_NOLOAD);
        auto* symbol = reinterpret_cast<Function*>(dlsym(module, name));
        if (module)
            dlclose(module);
        return symbol;
    }
    std::vector<int> takeOpcodes() {
        int count = 0;
        const int* log = opcodes(&count);
        std::vector<int> result(log, log + count);
        clearOpcodes();
        return result;
    }

    const int* (*opcodes)(int*) = find<const int*(int*)>("zelvarTestOpcodes");
    void (*clearOpcodes)() = find<void()>("zelvarTestClearOpcodes");
    VstIntPtr (*lastProcessLevel)() = find<VstIntPtr()>("zelvarTestLastProcessLevel");
    int (*createdEffects)() = find<int()>("zelvarTestCreatedEffects");
};

class Vst2PluginTest : public testing::Test {
protected:
    void SetUp() override { previousApi = std::exchange(VST2_PLUGIN_API_INSTANCE, &api); }
    void TearDown() override {
        if (scripted)
            scripted->destroy();
        scripted.reset();
        host.reset();
        VST2_PLUGIN_API_INSTANCE = previousApi;
    }

    Plugin* load(const char* path) { return host->getPlugin(path); }

    // Instances are opened unless asked otherwise: only an open instance closes its effect when released.
    SmartPtr<Vst2PluginInstance> create(const char* path = VST2_TESTDESCRIBER,
                                        const String& deviceId = String(), bool open = true) {
        SmartPtr<PluginInstance> instance = load(path)->createInstance(7, deviceId, false);
        if (open)
            instance->open();
        return SmartPtr<Vst2PluginInstance>(dynamic_cast<Vst2PluginInstance*>(instance.get()));
    }

    void attachContext(Vst2PluginInstance& instance, int inputs, int outputs) {
        context = new test::HeapAudioContext(256, inputs, outputs, 4, true);
        context->init();
        context->clearAndWriteGuards();
        instance.setAudioContext(context.get());
    }

    // Opens an instance on the in-memory effect and starts processing; one started before is destroyed.
    void start(int latency = 0) {
        if (scripted)
            scripted->destroy();
        effect.effect.initialDelay = latency;
        scripted = new Vst2PluginInstance(host.get(), nullptr, 1, false, 0);
        scripted->initNativePlugin(&effect.effect);
        scripted->open();
        attachContext(*scripted, 2, 2);
        scripted->startProcess();
    }

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
    template <typename T>
    requires std::is_integral_v<T> Bytes& operator<<(T value) {
        for (int i = 0; i < 4; ++i)
            data += static_cast<char>(static_cast<uint32_t>(value) >> (littleEndian ? 8 * i : 24 - 8 * i));
        return *this;
    }
    Bytes& operator<<(float v) { return *this << std::bit_cast<uint32_t>(v); }
    Bytes& operator<<(const std::string& raw) {
        data += raw;
        return *this;
    }
};

// A bank header to the end of its future bytes; a version-2 bank that selects program 1.
Bytes bank(bool littleEndian, VstInt32 fxMagic, VstInt32 id, int programs) {
    Bytes b;
    b << cMagic << 0 << fxMagic;
    b.littleEndian = littleEndian;
    return b << 2 << id << 1 << programs << 1 << std::string(124, '\0');
}
Bytes& program(Bytes& b, VstInt32 fxMagic, VstInt32 id, std::vector<float> values) {
    b << cMagic << 0 << fxMagic << 1 << id << 1 << int(values.size()) << std::string(28, 'n');
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

// The product texts, classes and the failures of listing and creating are checked through `plugin-host info`.
TEST_F(Vst2PluginTest, ListsDeviceIdsAndReusesTheListedEffectOnce) {
    std::vector<String> ids;
    load(VST2_TESTSHELL)->listDeviceIds(ids);
    // Shell ids in enumeration order, signed.
    EXPECT_EQ(ids, (std::vector<String>{"1094861636", "-2147483647", "2748"}));
    EXPECT_THROW(load(VST2_TESTSHELL)->createInstance(1, "12a", false), base::core::NumberFormatException);

    Plugin* plugin = load(VST2_TESTDESCRIBER);
    DescriberProbe probe;
    const int before = probe.createdEffects();
    ids.clear();
    plugin->listDeviceIds(ids);
    EXPECT_EQ(ids, std::vector<String>{"1517569125"});
    SmartPtr<PluginInstance> first = plugin->createInstance(1, ids[0], false);
    EXPECT_EQ(probe.createdEffects(), before + 1);
    SmartPtr<PluginInstance> second = plugin->createInstance(2, ids[0], false);
    EXPECT_EQ(probe.createdEffects(), before + 2);
    first->open();
    second->open();
}

TEST_F(Vst2PluginTest, LifecycleSendsTheDispatcherCallsInOrder) {
    load(VST2_TESTDESCRIBER);
    DescriberProbe probe;
    probe.clearOpcodes();
    SmartPtr<Vst2PluginInstance> instance = create(VST2_TESTDESCRIBER, String(), false);
    EXPECT_EQ(probe.takeOpcodes(), (std::vector<int>{effGetVstVersion, effGetPlugCategory}));
    EXPECT_EQ(instance->getPluginState(), PluginInstance::CREATED);

    instance->open();
    EXPECT_EQ(probe.takeOpcodes(),
              (std::vector<int>{effOpen, effSetSampleRate, effSetBlockSize, effCanDo, effCanDo, effCanDo,
                                effGetPlugCategory, effMainsChanged}));
    EXPECT_EQ(instance->getPluginState(), PluginInstance::OPEN);
    instance->startProcess();
    EXPECT_EQ(instance->getPluginState(), PluginInstance::PROCESSING);
    probe.clearOpcodes();

    // Destroying while processing stops processing first; releasing the object afterwards closes nothing.
    instance->destroy();
    EXPECT_EQ(instance->getPluginState(), PluginInstance::DESTROYED);
    instance.reset();
    EXPECT_EQ(probe.takeOpcodes(), (std::vector<int>{effStopProcess, effMainsChanged, effClose}));

    // An open instance that is released without destroy closes its effect once.
    instance = create();
    probe.clearOpcodes();
    instance.reset();
    EXPECT_EQ(probe.takeOpcodes(), std::vector<int>{effClose});
}

TEST_F(Vst2PluginTest, DescribesCapabilitiesBusesParametersProgramsAndKeyNames) {
    SmartPtr<Vst2PluginInstance> instance = create();
    EXPECT_EQ(instance->getApi(), &api);
    EXPECT_EQ(instance->getPluginLatency(), 64);
    EXPECT_TRUE(instance->hasGUI() && instance->supportsMPE());
    EXPECT_FALSE(instance->wantSysexEvents()) << "answered -1, not 1";
    EXPECT_FALSE(instance->supportsDPIScaling()) << "answered 2, not 1";

    // Pin properties first, then pairs, then singles.
    EXPECT_EQ(busText(*instance, true), "Eingang \xc3\x9c:01 Seitenkette \xc3\x84:2 Mono In:3 ");
    EXPECT_EQ(busText(*instance, false), "Stereo Out 1:01 Stereo Out 2:23 Stereo Out 3:45 Mono Out 1:0 "
                                         "Mono Out 2:1 Mono Out 3:2 Mono Out 4:3 Mono Out 5:4 Mono Out 6:5 ");
    EXPECT_EQ(busText(*create(VST2_TESTSHELL, "2748"), true), "Mono In:0 ");
    EXPECT_EQ(busText(*create(VST2_TESTSHELL, "1094861636"), true), "Stereo In:01 ");

    // A shell tells the plug-in it makes which id it is.
    EXPECT_EQ(callback(create(VST2_TESTSHELL, "-2147483647").get(), audioMasterCurrentId), -2147483647);

    ASSERT_EQ(instance->getParameterCount(), 4);
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
    // Display index and category count only when the flags announce them; the range only with the integer
    // flag.
    EXPECT_EQ(infos, (std::vector<std::string>{"0 automatable 0..0 ", "3 automatable integer 0..3 Filter",
                                               "2 boolean 0..1 ", "-2 automatable -5..5 "}));
    char display[256] = {}, unit[256] = {};
    instance->getParameterDisplay(0, display, sizeof display);
    instance->getParameterUnit(0, unit, sizeof unit);
    EXPECT_STREQ(display, "0.50");
    EXPECT_STREQ(unit, "dB");

    ASSERT_EQ(instance->getProgramCount(), 3);
    char name[64];
    std::memset(name, 'x', sizeof name);
    instance->getProgramName(2, name, sizeof name);
    EXPECT_STREQ(name, "Dark");
    EXPECT_EQ(instance->getCurrentProgram(), 0);

    // Latin-1 and UTF-8; "---" and an answer of 0 are no name; a full record is cut at its last byte.
    std::vector<String> keys;
    for (int key : {36, 38, 40, 42, 44, 50})
        keys.push_back(instance->getKeyName(key));
    EXPECT_EQ(keys, (std::vector<String>{"Kick", "Snar\xc3\xa9", "", "Hi-Hat \xe2\x86\x91",
                                         std::string(63, 'x'), ""}));
    instance->setCurrentProgram(1, 0);
    EXPECT_EQ(instance->getCurrentProgram(), 1);
    EXPECT_EQ(instance->getKeyName(36), "Kick (Bright)") << "asked for the current program";
}

TEST_F(Vst2PluginTest, HostCallbackAnswersEditGesturesAndTransport) {
    SmartPtr<Vst2PluginInstance> instance = create();
    Vst2PluginInstance* i = instance.get();
    std::vector<VstIntPtr> answers;
    for (VstInt32 opcode : std::initializer_list<VstInt32>{
             audioMasterVersion, audioMasterGetVendorVersion, audioMasterGetLanguage,
             audioMasterGetSampleRate, audioMasterGetBlockSize, audioMasterGetCurrentProcessLevel,
             audioMasterIdle, audioMasterWantMidi, audioMasterOpenFileSelector, audioMasterEditFile, 99})
        answers.push_back(callback(i, opcode));
    EXPECT_EQ(answers, (std::vector<VstIntPtr>{2400, 2202, kVstLangEnglish, 44100, 256, kVstProcessLevelUser,
                                               0, 0, 0, 0, 0}));
    char text[64] = {};
    EXPECT_EQ(callback(i, audioMasterGetVendorString, 0, 0, text), 1);
    EXPECT_STREQ(text, "Zelvar");
    EXPECT_EQ(callback(i, audioMasterGetProductString, 0, 0, text), 1);
    EXPECT_STREQ(text, "Zelvar Studio");
    // Eleven capabilities the host has; names are compared exactly.
    std::string canDo;
    for (const char* capability :
         {"sendVstEvents", "sendVstMidiEvent", "sendVstSysexEvent", "sendVstTimeInfo", "receiveVstEvents",
          "receiveVstMidiEvent", "receiveVstSysexEvent", "startStopProcess", "sizeWindow", "supportShell",
          "shellCategory", "receiveVstTimeInfo", "SendVstEvents", "openFileSelector", ""})
        canDo += std::to_string(callback(i, audioMasterCanDo, 0, 0, const_cast<char*>(capability)));
    EXPECT_EQ(canDo, "111111111110000");

    // Size requests are stored without making the size known; they apply to an open window only.
    EXPECT_EQ(callback(i, audioMasterSizeWindow, 640, 480), 1);
    EXPECT_EQ(std::make_pair(instance->getWindowWidth(), instance->getWindowHeight()),
              std::make_pair(640, 480));
    EXPECT_FALSE(instance->isWindowSizeKnown());

    // Without an instance: during creation, or for an effect made only to list ids.
    answers.clear();
    for (VstInt32 opcode : std::initializer_list<VstInt32>{
             audioMasterVersion, audioMasterSizeWindow, audioMasterIOChanged, audioMasterBeginEdit,
             audioMasterProcessEvents, audioMasterGetCurrentProcessLevel, audioMasterGetTime})
        answers.push_back(callback(nullptr, opcode, 1, 480));
    EXPECT_EQ(answers, (std::vector<VstIntPtr>{2400, 1, 1, 1, 0, 0, 0}));

    // Idle calls the plug-in only after it asked for it.
    DescriberProbe probe;
    probe.clearOpcodes();
    instance->idle();
    EXPECT_EQ(probe.takeOpcodes(), std::vector<int>{});
    EXPECT_EQ(callback(i, audioMasterNeedIdle), 0);
    instance->idle();
    instance->idle();
    EXPECT_EQ(probe.takeOpcodes(), (std::vector<int>{effIdle, effIdle}));

    // An edit gesture holds off the client's value.
    EXPECT_EQ(callback(i, audioMasterBeginEdit, 1), 1);
    instance->setParameterNormalizedValue(1, 0.7f);
    EXPECT_EQ(instance->getParameterNormalizedValue(1), 0.0f);
    // A second gesture does not replace the first.
    callback(i, audioMasterBeginEdit, 2);
    instance->setParameterNormalizedValue(2, 0.9f);
    EXPECT_EQ(instance->getParameterNormalizedValue(2), 0.9f);
    callback(i, audioMasterEndEdit, 2);
    EXPECT_EQ(instance->getEditedParameter(), 1);
    EXPECT_EQ(callback(i, audioMasterEndEdit, 1), 1);
    EXPECT_EQ(instance->getEditedParameter(), -1);
    instance->setParameterNormalizedValue(1, 0.7f);
    EXPECT_EQ(instance->getParameterNormalizedValue(1), 0.7f);

    // Time info and latencies come from the transport record.
    EXPECT_EQ(callback(i, audioMasterGetTime), 0) << "no audio context yet";
    EXPECT_EQ(callback(i, audioMasterGetInputLatency), 0);

    attachContext(*instance, 4, 6);
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

TEST_F(Vst2PluginTest, ProcessRunsTheAudioRoutineAndCollectsMidiSentDuringIt) {
    SmartPtr<Vst2PluginInstance> instance = create();
    DescriberProbe probe;
    attachContext(*instance, 4, 6);
    for (int frame = 0; frame < 256; ++frame)
        context->getInputChannel(0)[frame] = frame * 0.001f;

    EXPECT_EQ(instance->process(256, true, true), 1);
    EXPECT_EQ(context->getOutputChannel(5)[10], 0.0f) << "not started: the plug-in is not called";

    instance->startProcess();
    EXPECT_EQ(instance->process(256, true, true), 1);
    EXPECT_FLOAT_EQ(context->getOutputChannel(5)[10], 0.26f);
    EXPECT_EQ(probe.lastProcessLevel(), kVstProcessLevelUser);
    // Only the MIDI events arrive, their offsets clamped to the block. The records are packed: fields are
    // copied out before comparing.
    auto& events = context->getOutputEvents();
    std::vector<std::vector<int>> seen;
    for (uint32_t index = 0; index < events.count(); ++index) {
        const PluginHostEvent event = events[index];
        seen.push_back({event.kind, event.sampleOffset, event.midi[0], event.midi[1], event.midi[2]});
    }
    EXPECT_EQ(seen, (std::vector<std::vector<int>>{{PluginHostEvent::MIDI, 0, 0x90, 60, 100},
                                                   {PluginHostEvent::MIDI, 255, 0x80, 60, 0}}));
    EXPECT_TRUE(context->guardsIntact());

    // Off the main thread the process level follows the realtime flag.
    std::thread([&] { instance->process(256, false, true); }).join();
    EXPECT_EQ(probe.lastProcessLevel(), kVstProcessLevelRealtime);
    std::thread([&] { instance->process(256, false, false); }).join();
    EXPECT_EQ(probe.lastProcessLevel(), kVstProcessLevelOffline);
    instance->stopProcess();
}

// The editor opens in a window from the host's factory; what the window is asked to do, and in which
// order, is the adapter's part.
TEST_F(Vst2PluginTest, OpenGUIEmbedsThenTitlesSizesPlacesAndShowsTheWindow) {
    // Made with the creation flag: the plug-in also hears the content scaling.
    SmartPtr<PluginInstance> created = load(VST2_TESTDESCRIBER)->createInstance(7, String(), true);
    created->open();
    auto* instance = dynamic_cast<Vst2PluginInstance*>(created.get());
    DescriberProbe probe;
    instance->setWindowRect(40, 50, 0, 0);
    test::TestPluginWindow* window = nullptr;
    int64_t parent = 0;
    host->setPluginWindowFactory([&](PluginInstance* owner, int64_t parentId, int width, int height, bool) {
        parent = parentId;
        // Made before the plug-in is asked anything, with the size the client stored (none yet).
        EXPECT_EQ(std::make_pair(width, height), std::make_pair(0, 0));
        auto made = std::make_unique<test::TestPluginWindow>(host.get(), owner);
        window = made.get();
        return made;
    });
    probe.clearOpcodes();
    instance->openGUI(reinterpret_cast<void*>(0x1234), true, "Editor");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(parent, 0x1234);
    EXPECT_EQ(probe.takeOpcodes(),
              (std::vector<int>{effEditGetRect, effVendorSpecific, effEditOpen, effEditGetRect}));
    EXPECT_EQ(window->title.getStdString(), "Editor");
    EXPECT_EQ(window->sizes, (std::vector<std::pair<int, int>>{{320, 200}}));
    EXPECT_EQ(window->positions, (std::vector<std::pair<int, int>>{{40, 50}}));
    EXPECT_EQ(std::make_tuple(window->attachedCount, window->showCount, window->activateCount),
              std::make_tuple(1, 1, 1));
    EXPECT_TRUE(window->suppressedWhileShown);
    EXPECT_FALSE(instance->areWindowNotificationsSuppressed());

    // Open already: nothing happens. Idle drives the editor; a plug-in's own resize reaches the window.
    instance->openGUI(nullptr, false, "Again");
    instance->idle();
    EXPECT_EQ(probe.takeOpcodes(), std::vector<int>{effEditIdle});
    callback(instance, audioMasterSizeWindow, 400, 300);
    callback(instance, audioMasterSizeWindow, 9, 300); // too small to apply
    EXPECT_EQ(window->sizes, (std::vector<std::pair<int, int>>{{320, 200}, {400, 300}}));

    instance->closeGUI();
    EXPECT_EQ(instance->getWindow(), nullptr);
    EXPECT_EQ(probe.takeOpcodes(), std::vector<int>{effEditClose});
}

TEST_F(Vst2PluginTest, OpenGUIWithoutAWindowOrWithOneThatRefusesTheEditorLeavesNoneOpen) {
    SmartPtr<Vst2PluginInstance> instance = create();
    DescriberProbe probe;
    host->setPluginWindowFactory([](PluginInstance*, int64_t, int, int, bool) { return nullptr; });
    probe.clearOpcodes();
    instance->openGUI(nullptr, false, "Nowhere");
    EXPECT_EQ(instance->getWindow(), nullptr);
    // Without a window the plug-in is not asked anything: some build their editor to answer.
    EXPECT_EQ(probe.takeOpcodes(), std::vector<int>{});
    EXPECT_FALSE(instance->areWindowNotificationsSuppressed());

    host->setPluginWindowFactory([&](PluginInstance* owner, int64_t, int, int, bool) {
        auto made = std::make_unique<test::TestPluginWindow>(host.get(), owner);
        made->attachable = false;
        return made;
    });
    instance->openGUI(nullptr, false, "Refused");
    EXPECT_EQ(instance->getWindow(), nullptr);
    EXPECT_EQ(probe.takeOpcodes(), (std::vector<int>{effEditGetRect, effEditOpen, effEditClose}));
    EXPECT_FALSE(instance->areWindowNotificationsSuppressed());
}

TEST(Vst2PluginInstance, TranslatesModifierKeys) {
    std::vector<int> translated;
    for (int host : {1 << 0, 1 << 1, 1 << 2, 1 << 3, 0xff})
        translated.push_back(Vst2PluginInstance::translateModifiers(host));
    EXPECT_EQ(translated,
              (std::vector<int>{MODIFIER_SHIFT, MODIFIER_COMMAND, MODIFIER_CONTROL, MODIFIER_ALTERNATE, 15}));
}

TEST_F(Vst2PluginTest, ParameterChangesOfTheBlockReachThePluginInOrderAlsoOutsideProcessing) {
    start();
    auto& changes = context->getParameterChanges();
    changes[0] = PluginParameterChange{0.25f, 3, 0};
    changes[1] = PluginParameterChange{0.75f, 1, 10};
    changes.setCount(2);
    // The client watches parameter 1: its change is marked for a display update on the idle tick.
    context->parameterFlag(1).store(PluginAudioContext::PARAMETER_WATCHED);
    scripted->process(64, true, true);
    EXPECT_EQ(effect.parameterCalls, (std::vector<std::pair<int, float>>{{3, 0.25f}, {1, 0.75f}}));
    EXPECT_EQ(context->parameterFlag(1).load(),
              PluginAudioContext::PARAMETER_WATCHED | PluginAudioContext::PARAMETER_CHANGED);
    EXPECT_EQ(context->parameterFlag(3).load(), 0);

    // Stopped: nothing is rendered, but the changes still apply.
    scripted->stopProcess();
    effect.routines.clear();
    changes.setCount(1);
    scripted->process(64, true, true);
    EXPECT_TRUE(effect.routines.empty());
    EXPECT_EQ(effect.parameterCalls.size(), 3u);
}

TEST_F(Vst2PluginTest, EventsGoOnlyToPluginsThatTakeMidiAndOnlyWhenThereAreSome) {
    start();
    add(PluginHostEvent::MIDI, 5, 60);
    scripted->process(64, true, true);
    EXPECT_TRUE(effect.eventBlocks.empty()) << "an effect that takes no MIDI got events";

    effect.capabilities = {"receiveVstMidiEvent"};
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
}

TEST_F(Vst2PluginTest, EventsBeyondTheStorageAreDroppedSilently) {
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
        effect.capabilities = {c.synth ? "" : "receiveVstMidiEvent", "receiveVstSysexEvent"};
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
        EXPECT_EQ(effect.eventBlocks[0].front(), c.sysex ? "sysex 5 F0 7F" : "midi 0 0");
        EXPECT_EQ(effect.eventBlocks[0].back(), c.last);
    }
}

TEST_F(Vst2PluginTest, AccumulatingPluginsGetAClearedOutputArea) {
    effect.effect.flags = 0;
    start();
    context->getOutputChannel(0)[0] = 5.0f;
    scripted->process(64, true, true);
    EXPECT_EQ(effect.routines, std::vector<std::string>{"accumulating"});
    EXPECT_EQ(effect.firstOutputSampleSeen, 0.0f);
    EXPECT_EQ(context->getOutputChannel(0)[0], 1.0f);
    EXPECT_TRUE(context->guardsIntact());
}

TEST_F(Vst2PluginTest, ResultFollowsTheTail) {
    const struct {
        const char* name;
        VstIntPtr tail;
        int latency;
        VstInt32 flags;
        VstIntPtr category;
        std::vector<std::pair<bool, int>> blocks; // active, expected result
    } cases[] = {
        {"no tail", 1, 0, 0, kPlugCategEffect, {{false, 0}, {true, 1}}},
        // Unknown, and no promise of silence in stop.
        {"unknown", 0, 0, 0, kPlugCategEffect, {{false, 2}, {false, 2}, {false, 2}, {false, 2}}},
        {"silent in stop", 0, 0, effFlagsNoSoundInStop, kPlugCategEffect, {{false, 0}}},
        {"generator", 1, 0, 0, kPlugCategGenerator, {{false, 1}}},
        // Silence counter 256, 512, 768, and 1024 exactly at 64 + 960: still sounding; an active block
        // starts the count again.
        {"long",
         960,
         64,
         0,
         kPlugCategEffect,
         {{false, 2}, {false, 2}, {false, 2}, {false, 2}, {false, 0}, {true, 1}, {false, 2}}},
    };
    for (const auto& c : cases) {
        effect.tailSize = c.tail;
        effect.effect.flags = effFlagsCanReplacing | c.flags;
        effect.category = c.category;
        start(c.latency);
        for (size_t block = 0; block < c.blocks.size(); ++block)
            EXPECT_EQ(scripted->process(256, c.blocks[block].first, true), c.blocks[block].second)
                << c.name << ", block " << block;
    }
}

TEST_F(Vst2PluginTest, OutputEventsRaisedOutsideProcessingAreRefused) {
    start();
    VstMidiEvent note{};
    note.type = kVstMidiType;
    note.byteSize = sizeof note;
    note.midiData[0] = static_cast<char>(0x90);
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&note);
    scripted->process(64, true, true);
    context->getOutputEvents().setCount(0);
    // From the plug-in's own thread after a block: nothing to attach it to.
    vstAudioMasterCallback(&effect.effect, audioMasterProcessEvents, 0, 0, &events, 0.0f);
    EXPECT_EQ(context->getOutputEvents().count(), 0u);
}

TEST(Vst2PresetFile, ParameterAndChunkBanksAreWrittenInTheBankLayoutAndLoadBack) {
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
}

TEST(Vst2PresetFile, LittleEndianBanksAndTwinIdsLoad) {
    Bytes file = bank(true, bankMagic, ID, 2);
    program(program(file, fMagic, ID, {0.25f, 0.75f, 0.5f}), fMagic, ID, {1.0f, 0.0f, 0.5f});
    FakeEffect effect(2, 2, 0); // the third value of each program has no parameter
    Vst2PresetFile(&effect.effect).load(write("le.fxb", file.data));
    EXPECT_EQ(effect.values, (std::vector<std::vector<float>>{{0.25f, 0.75f}, {1.0f, 0.0f}}));
    EXPECT_EQ(effect.program, 1);

    FakeEffect twin(1, 1, 0, 0x70727355);
    Vst2PresetFile(&twin.effect).load(write("twin.fxp", program(0x75685057, {0.5f}).data));
    EXPECT_EQ(twin.values[0][0], 0.5f);
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

TEST(Vst2PresetFile, OtherKindsReachThePluginAsChunks) {
    const std::string nks = "RIFF\0\0\0\0NIKSNISI\x03\0\0\0abc\0PCHK\x07\0\0\0\0\0\0\0xyz\0"s;
    const struct {
        const char* name;
        std::string data;
        std::string chunk;
        int index;
    } cases[] = {
        {"scale.h2p", "#h2p\nGScale=2\nVolume=1", "#h2p\n        \nVolume=1", 1},
        {"first.h2p", "GScale=2\nVolume=1", "GScale=2\nVolume=1", 1},
        {"raw.FXP", "CcnK\0"s, "CcnK\0"s, 1},
        {"bank.nksf", nks, "xyz\0"s, 0},
    };
    for (const auto& c : cases) {
        FakeEffect effect(1, 1, effFlagsProgramChunks);
        Vst2PresetFile(&effect.effect).load(write(c.name, c.data));
        EXPECT_EQ(effect.chunk, c.chunk) << c.name;
        EXPECT_EQ(effect.chunkIndex, c.index) << c.name;
    }
}
