#include "HeapAudioContext.h"
#include "TestPluginWindow.h"

#include "base/core/NumberFormatException.h"
#include "plugin/PluginAudioBus.h"
#include "plugin/PluginException.h"
#include "plugin/PluginHost.h"
#include "vst2/Vst2Plugin.h"
#include "vst2/Vst2PluginApi.h"
#include "vst2/Vst2PluginInstance.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace plugin;
using base::core::SmartPtr;
using base::core::String;

namespace {

// What the test describer module records about the host's calls.
struct DescriberProbe {
    DescriberProbe() {
        // The host has loaded the module already; this only finds it.
        void* module = dlopen(VST2_TESTDESCRIBER, RTLD_NOW | RTLD_NOLOAD);
        opcodes = reinterpret_cast<const int* (*)(int*)>(dlsym(module, "zelvarTestOpcodes"));
        clearOpcodes = reinterpret_cast<void (*)()>(dlsym(module, "zelvarTestClearOpcodes"));
        lastProcessLevel = reinterpret_cast<VstIntPtr (*)()>(dlsym(module, "zelvarTestLastProcessLevel"));
        createdEffects = reinterpret_cast<int (*)()>(dlsym(module, "zelvarTestCreatedEffects"));
        if (module)
            dlclose(module);
    }
    std::vector<int> takeOpcodes() {
        int count = 0;
        const int* log = opcodes(&count);
        std::vector<int> result(log, log + count);
        clearOpcodes();
        return result;
    }

    const int* (*opcodes)(int*) = nullptr;
    void (*clearOpcodes)() = nullptr;
    VstIntPtr (*lastProcessLevel)() = nullptr;
    int (*createdEffects)() = nullptr;
};

class Vst2PluginTest : public testing::Test {
protected:
    void SetUp() override {
        previousApi = std::exchange(VST2_PLUGIN_API_INSTANCE, &api);
        host = new PluginHost(44100, 256);
    }
    void TearDown() override {
        host.reset();
        VST2_PLUGIN_API_INSTANCE = previousApi;
    }

    Plugin* load(const char* path) { return host->getPlugin(path); }

    // Instances are opened unless asked otherwise: only an open instance closes its effect when released.
    SmartPtr<Vst2PluginInstance> create(const char* path, const String& deviceId = String(),
                                        bool open = true) {
        SmartPtr<PluginInstance> instance = load(path)->createInstance(7, deviceId, false);
        if (open)
            instance->open();
        return SmartPtr<Vst2PluginInstance>(dynamic_cast<Vst2PluginInstance*>(instance.get()));
    }

    SmartPtr<Vst2PluginInstance> openDescriber() { return create(VST2_TESTDESCRIBER); }

    static VstIntPtr callback(Vst2PluginInstance* instance, VstInt32 opcode, VstInt32 index = 0,
                              VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f) {
        return vstAudioMasterCallback(instance ? instance->getEffect() : nullptr, opcode, index, value, ptr,
                                      opt);
    }

    Vst2PluginApi api;
    PluginApi* previousApi = nullptr;
    SmartPtr<PluginHost> host;
};

std::string busText(const std::vector<SmartPtr<PluginAudioBus>>& buses) {
    std::string text;
    for (const SmartPtr<PluginAudioBus>& bus : buses) {
        text += bus->getName().getStdString() + ":";
        for (int channel : bus->getChannels())
            text += std::to_string(channel);
        text += " ";
    }
    return text;
}

std::vector<std::string> toStd(const std::vector<String>& strings) {
    std::vector<std::string> result;
    for (const String& s : strings)
        result.push_back(s.getStdString());
    return result;
}

} // namespace

TEST_F(Vst2PluginTest, LoadsModulesAndListsTheirDeviceIds) {
    EXPECT_EQ(api.getName(), "VST 2.4");
    EXPECT_FALSE(load("/does/not/exist.so")->wasSuccesfullyLoaded());

    std::vector<String> ids;
    load(VST2_TESTSHELL)->listDeviceIds(ids);
    // Shell ids in enumeration order, signed.
    EXPECT_EQ(toStd(ids), (std::vector<std::string>{"1094861636", "-2147483647", "2748"}));

    std::vector<String> none;
    try {
        load(VST2_TESTEMPTYSHELL)->listDeviceIds(none);
        ADD_FAILURE() << "an empty shell was listed";
    } catch (const PluginException& e) {
        EXPECT_EQ(e.getMessage(), "Shell plug-in is empty");
    }
    try {
        load(VST2_TESTBADMAGIC)->listDeviceIds(none);
        ADD_FAILURE() << "an effect without magic was listed";
    } catch (const PluginException& e) {
        EXPECT_EQ(e.getMessage(), "createAEffectInstance returned NULL");
    }
    try {
        load(VST2_TESTBADMAGIC)->createInstance(1, "", false);
        ADD_FAILURE() << "an effect without magic was instantiated";
    } catch (const PluginException& e) {
        EXPECT_EQ(e.getMessage(), "createAEffectInstance returned NULL.");
    }
    EXPECT_THROW(load(VST2_TESTSHELL)->createInstance(1, "12a", false), base::core::NumberFormatException);
}

TEST_F(Vst2PluginTest, ShellCreatesThePlugInNamedByTheDeviceId) {
    SmartPtr<Vst2PluginInstance> synth = create(VST2_TESTSHELL, "-2147483647");
    EXPECT_EQ(synth->getProductName(), "Shell Synth");
    EXPECT_EQ(synth->getProductIdentifier(), "80000001");
    EXPECT_EQ(callback(synth.get(), audioMasterCurrentId), -2147483647);
    EXPECT_EQ(synth->getSupportPluginClasses(),
              std::vector<PluginInstance::PluginClass>{PluginInstance::NOTE_TO_AUDIO});
}

TEST_F(Vst2PluginTest, FirstInstanceAfterListingReusesTheListedEffect) {
    Plugin* plugin = load(VST2_TESTDESCRIBER);
    DescriberProbe probe;
    const int before = probe.createdEffects();
    std::vector<String> ids;
    plugin->listDeviceIds(ids);
    EXPECT_EQ(toStd(ids), std::vector<std::string>{"1517569125"});
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
    SmartPtr<Vst2PluginInstance> open = openDescriber();
    probe.clearOpcodes();
    open.reset();
    EXPECT_EQ(probe.takeOpcodes(), std::vector<int>{effClose});
}

TEST_F(Vst2PluginTest, DescribesProductAndCapabilities) {
    SmartPtr<Vst2PluginInstance> instance = openDescriber();
    EXPECT_EQ(instance->getApi(), &api);
    EXPECT_EQ(instance->getProductName(), "Gr\xc3\xbcn Describer"); // sent in Latin-1
    EXPECT_EQ(instance->getProductVendorName(), "Zelvar T\xc3\xabst");
    EXPECT_EQ(instance->getProductIdentifier(), "5a744465");
    EXPECT_EQ(instance->getProductVersion(), "1234");
    EXPECT_EQ(instance->getCategory(), "Other");
    EXPECT_EQ(instance->getPluginLatency(), 64);
    EXPECT_TRUE(instance->hasGUI());
    EXPECT_TRUE(instance->hasNoteInput());
    EXPECT_TRUE(instance->hasNoteOutput());
    EXPECT_FALSE(instance->wantSysexEvents()); // answered -1, not 1
    EXPECT_TRUE(instance->supportsMPE());
    EXPECT_FALSE(instance->supportsDPIScaling()); // answered 2, not 1
    EXPECT_EQ(instance->getSupportPluginClasses(),
              (std::vector<PluginInstance::PluginClass>{PluginInstance::AUDIO_TO_AUDIO,
                                                        PluginInstance::NOTE_TO_NOTE,
                                                        PluginInstance::AUDIO_TO_NOTE}));
}

TEST_F(Vst2PluginTest, BusesFollowPinPropertiesThenPairsAndSingles) {
    SmartPtr<Vst2PluginInstance> describer = openDescriber();
    std::vector<SmartPtr<PluginAudioBus>> inputs, outputs;
    describer->listAudioInputBuses(inputs);
    describer->listAudioOutputBuses(outputs);
    EXPECT_EQ(busText(inputs), "Eingang \xc3\x9c:01 Seitenkette \xc3\x84:2 Mono In:3 ");
    EXPECT_EQ(busText(outputs), "Stereo Out 1:01 Stereo Out 2:23 Stereo Out 3:45 Mono Out 1:0 Mono Out 2:1 "
                                "Mono Out 3:2 Mono Out 4:3 Mono Out 5:4 Mono Out 6:5 ");

    SmartPtr<Vst2PluginInstance> analyser = create(VST2_TESTSHELL, "2748");
    SmartPtr<Vst2PluginInstance> effect = create(VST2_TESTSHELL, "1094861636");
    std::vector<SmartPtr<PluginAudioBus>> mono, stereo;
    analyser->listAudioInputBuses(mono);
    effect->listAudioInputBuses(stereo);
    EXPECT_EQ(busText(mono), "Mono In:0 ");
    EXPECT_EQ(busText(stereo), "Stereo In:01 ");
}

TEST_F(Vst2PluginTest, DescribesParameters) {
    SmartPtr<Vst2PluginInstance> instance = openDescriber();
    ASSERT_EQ(instance->getParameterCount(), 4);
    std::vector<std::string> names;
    for (int index = 0; index < 4; ++index) {
        char name[256] = {};
        instance->getParameterName(index, name, sizeof name);
        names.push_back(name);
    }
    // A property label wins over the plain name; without one (or with an empty one) the name is used.
    EXPECT_EQ(names, (std::vector<std::string>{"Gain", "Mode", "Bypass Switch", "Mix"}));
    char display[256] = {}, unit[256] = {};
    instance->getParameterDisplay(0, display, sizeof display);
    instance->getParameterUnit(0, unit, sizeof unit);
    EXPECT_STREQ(display, "0.50");
    EXPECT_STREQ(unit, "dB");

    PluginParameterInfo plain, mode, bypass, mix;
    instance->getParameterInfo(0, plain);
    instance->getParameterInfo(1, mode);
    instance->getParameterInfo(2, bypass);
    instance->getParameterInfo(3, mix);
    EXPECT_TRUE(plain.automatable);
    EXPECT_EQ(plain.index, 0);
    EXPECT_FALSE(plain.isInteger || plain.isBoolean);
    EXPECT_EQ(mode.index, 3);
    EXPECT_TRUE(mode.isInteger);
    EXPECT_EQ(mode.maxValue, 3);
    EXPECT_EQ(mode.category, "Filter");
    // Display index and category count only when the flags announce them.
    EXPECT_FALSE(bypass.automatable);
    EXPECT_EQ(bypass.index, 2);
    EXPECT_TRUE(bypass.isBoolean);
    EXPECT_TRUE(bypass.category.isEmpty());
    EXPECT_EQ(mix.index, -2);
    EXPECT_EQ(mix.minValue, -5); // copied without the integer flag
    EXPECT_EQ(mix.maxValue, 5);
    EXPECT_FALSE(mix.isInteger);
}

TEST_F(Vst2PluginTest, ProgramsAndKeyNames) {
    SmartPtr<Vst2PluginInstance> instance = openDescriber();
    ASSERT_EQ(instance->getProgramCount(), 3);
    char name[64];
    std::memset(name, 'x', sizeof name);
    instance->getProgramName(2, name, sizeof name);
    EXPECT_STREQ(name, "Dark");
    EXPECT_EQ(instance->getCurrentProgram(), 0);

    EXPECT_EQ(instance->getKeyName(36), "Kick");
    EXPECT_EQ(instance->getKeyName(38), "Snar\xc3\xa9"); // sent in Latin-1
    EXPECT_EQ(instance->getKeyName(40), "");             // "---"
    EXPECT_EQ(instance->getKeyName(42), "Hi-Hat \xe2\x86\x91");
    EXPECT_EQ(instance->getKeyName(44), std::string(63, 'x')); // cut at the record's last byte
    EXPECT_EQ(instance->getKeyName(50), "");                   // the plug-in answered 0
    instance->setCurrentProgram(1, 0);
    EXPECT_EQ(instance->getCurrentProgram(), 1);
    EXPECT_EQ(instance->getKeyName(36), "Kick (Bright)"); // asked for the current program
}

TEST_F(Vst2PluginTest, HostCallbackAnswers) {
    SmartPtr<Vst2PluginInstance> instance = openDescriber();
    Vst2PluginInstance* i = instance.get();
    EXPECT_EQ(callback(i, audioMasterVersion), 2400);
    EXPECT_EQ(callback(i, audioMasterGetVendorVersion), 2202);
    EXPECT_EQ(callback(i, audioMasterGetLanguage), kVstLangEnglish);
    EXPECT_EQ(callback(i, audioMasterGetSampleRate), 44100);
    EXPECT_EQ(callback(i, audioMasterGetBlockSize), 256);
    EXPECT_EQ(callback(i, audioMasterGetCurrentProcessLevel), kVstProcessLevelUser); // the main thread
    char text[64] = {};
    EXPECT_EQ(callback(i, audioMasterGetVendorString, 0, 0, text), 1);
    EXPECT_STREQ(text, "Zelvar");
    EXPECT_EQ(callback(i, audioMasterGetProductString, 0, 0, text), 1);
    EXPECT_STREQ(text, "Zelvar Studio");
    for (const char* capability :
         {"sendVstEvents", "sendVstMidiEvent", "sendVstSysexEvent", "sendVstTimeInfo", "receiveVstEvents",
          "receiveVstMidiEvent", "receiveVstSysexEvent", "startStopProcess", "sizeWindow", "supportShell",
          "shellCategory"})
        EXPECT_EQ(callback(i, audioMasterCanDo, 0, 0, const_cast<char*>(capability)), 1) << capability;
    for (const char* capability : {"receiveVstTimeInfo", "SendVstEvents", "openFileSelector", ""})
        EXPECT_EQ(callback(i, audioMasterCanDo, 0, 0, const_cast<char*>(capability)), 0) << capability;
    for (VstInt32 opcode : std::initializer_list<VstInt32>{
             audioMasterIdle, audioMasterWantMidi, audioMasterOpenFileSelector, audioMasterEditFile, 99})
        EXPECT_EQ(callback(i, opcode), 0) << opcode;

    // Size requests are stored without making the size known; they apply to an open window only.
    EXPECT_EQ(callback(i, audioMasterSizeWindow, 640, 480), 1);
    EXPECT_EQ(instance->getWindowWidth(), 640);
    EXPECT_EQ(instance->getWindowHeight(), 480);
    EXPECT_FALSE(instance->isWindowSizeKnown());

    // Without an instance: during creation, or for an effect made only to list ids.
    EXPECT_EQ(callback(nullptr, audioMasterVersion), 2400);
    EXPECT_EQ(callback(nullptr, audioMasterSizeWindow, 640, 480), 1);
    EXPECT_EQ(callback(nullptr, audioMasterIOChanged), 1);
    EXPECT_EQ(callback(nullptr, audioMasterBeginEdit, 1), 1);
    EXPECT_EQ(callback(nullptr, audioMasterProcessEvents), 0);
    EXPECT_EQ(callback(nullptr, audioMasterGetCurrentProcessLevel), 0);
    EXPECT_EQ(callback(nullptr, audioMasterGetTime), 0);
}

TEST_F(Vst2PluginTest, NeedIdleMakesIdleCallThePlugIn) {
    SmartPtr<Vst2PluginInstance> instance = openDescriber();
    DescriberProbe probe;
    probe.clearOpcodes();
    instance->idle();
    EXPECT_EQ(probe.takeOpcodes(), std::vector<int>{});
    EXPECT_EQ(callback(instance.get(), audioMasterNeedIdle), 0);
    instance->idle();
    instance->idle();
    EXPECT_EQ(probe.takeOpcodes(), (std::vector<int>{effIdle, effIdle}));
}

TEST_F(Vst2PluginTest, EditGestureHoldsOffTheClientsValue) {
    SmartPtr<Vst2PluginInstance> instance = openDescriber();
    Vst2PluginInstance* i = instance.get();
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
}

TEST_F(Vst2PluginTest, TimeInfoAndLatenciesComeFromTheTransportRecord) {
    SmartPtr<Vst2PluginInstance> instance = openDescriber();
    Vst2PluginInstance* i = instance.get();
    EXPECT_EQ(callback(i, audioMasterGetTime), 0); // no audio context yet
    EXPECT_EQ(callback(i, audioMasterGetInputLatency), 0);

    SmartPtr<test::HeapAudioContext> context(new test::HeapAudioContext(256, 4, 6, 4, true));
    context->init();
    context->clearAndWriteGuards();
    instance->setAudioContext(context.get());
    PluginTransportInfo& transport = *context->getTransport();
    transport.sampleRate = 48000;
    transport.tempo = 120;
    transport.positionInQuarterNotes = 8.5;
    transport.systemTime = 1e9;
    transport.barStartInQuarterNotes = 8;
    transport.loopStartInQuarterNotes = 4;
    transport.loopEndInQuarterNotes = 12;
    transport.inputLatency = 17;
    transport.outputLatency = 33;
    transport.positionInSamples = 123456789012ull;
    transport.timeSignatureNumerator = 7;
    transport.timeSignatureDenominator = 8;
    transport.flags = 0;

    auto* time = reinterpret_cast<VstTimeInfo*>(callback(i, audioMasterGetTime, 0, 0xffff));
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->samplePos, 123456789012.0);
    EXPECT_EQ(time->sampleRate, 48000);
    EXPECT_EQ(time->nanoSeconds, 1e9);
    EXPECT_EQ(time->ppqPos, 8.5);
    EXPECT_EQ(time->tempo, 120);
    EXPECT_EQ(time->barStartPos, 8);
    EXPECT_EQ(time->cycleStartPos, 4);
    EXPECT_EQ(time->cycleEndPos, 12);
    EXPECT_EQ(time->timeSigNumerator, 7);
    EXPECT_EQ(time->timeSigDenominator, 8);
    EXPECT_EQ(time->flags, 0x3780);

    transport.flags = PluginTransportInfo::PLAYING | (1u << 2) | PluginTransportInfo::LOOP_ACTIVE |
                      PluginTransportInfo::RECORDING | PluginTransportInfo::AUTOMATION_WRITING;
    time = reinterpret_cast<VstTimeInfo*>(callback(i, audioMasterGetTime));
    EXPECT_EQ(time->flags, 0x3780 | kVstTransportChanged | kVstTransportPlaying | kVstTransportCycleActive |
                               kVstTransportRecording | kVstAutomationWriting);
    EXPECT_EQ(callback(i, audioMasterGetInputLatency), 17);
    EXPECT_EQ(callback(i, audioMasterGetOutputLatency), 33);
}

TEST_F(Vst2PluginTest, ProcessRunsTheAudioRoutineAndCollectsMidiSentDuringIt) {
    SmartPtr<Vst2PluginInstance> instance = openDescriber();
    DescriberProbe probe;
    SmartPtr<test::HeapAudioContext> context(new test::HeapAudioContext(256, 4, 6, 4, true));
    context->init();
    context->clearAndWriteGuards();
    instance->setAudioContext(context.get());
    for (int frame = 0; frame < 256; ++frame)
        context->getInputChannel(0)[frame] = frame * 0.001f;

    // Not started: the plug-in is not called.
    EXPECT_EQ(instance->process(256, true, true), 1);
    EXPECT_EQ(context->getOutputChannel(5)[10], 0.0f);

    instance->startProcess();
    EXPECT_EQ(instance->process(256, true, true), 1);
    EXPECT_FLOAT_EQ(context->getOutputChannel(5)[10], 0.26f);
    EXPECT_EQ(probe.lastProcessLevel(), kVstProcessLevelUser);
    // Only the MIDI events arrive, their offsets clamped to the block.
    auto& events = context->getOutputEvents();
    ASSERT_EQ(events.count(), 2u);
    // The records are packed; fields are copied out before comparing.
    const PluginHostEvent first = events[0], second = events[1];
    EXPECT_EQ(uint16_t(first.kind), PluginHostEvent::MIDI);
    EXPECT_EQ(uint16_t(first.sampleOffset), 0);
    EXPECT_EQ(std::vector<int>(first.midi, first.midi + 3), (std::vector<int>{0x90, 60, 100}));
    EXPECT_EQ(uint16_t(second.sampleOffset), 255);
    EXPECT_EQ(std::vector<int>(second.midi, second.midi + 3), (std::vector<int>{0x80, 60, 0}));
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
    load(VST2_TESTDESCRIBER);
    DescriberProbe probe;
    SmartPtr<PluginInstance> created = load(VST2_TESTDESCRIBER)->createInstance(7, String(), true);
    created->open();
    auto* instance = dynamic_cast<Vst2PluginInstance*>(created.get());
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
    EXPECT_EQ(window->attachedCount, 1);
    EXPECT_EQ(window->title.getStdString(), "Editor");
    EXPECT_EQ(window->sizes, (std::vector<std::pair<int, int>>{{320, 200}}));
    EXPECT_EQ(window->positions, (std::vector<std::pair<int, int>>{{40, 50}}));
    EXPECT_EQ(window->showCount, 1);
    EXPECT_TRUE(window->suppressedWhileShown);
    EXPECT_EQ(window->activateCount, 1);
    EXPECT_FALSE(instance->areWindowNotificationsSuppressed());

    // Open already: nothing happens. Idle drives the editor; a plug-in's own resize reaches the window.
    instance->openGUI(nullptr, false, "Again");
    instance->idle();
    EXPECT_EQ(probe.takeOpcodes(), std::vector<int>{effEditIdle});
    callback(instance, audioMasterSizeWindow, 400, 300);
    callback(instance, audioMasterSizeWindow, 9, 300); // too small to apply
    EXPECT_EQ(window->sizes.back(), std::make_pair(400, 300));
    EXPECT_EQ(window->sizes.size(), 2u);

    instance->closeGUI();
    EXPECT_EQ(instance->getWindow(), nullptr);
    EXPECT_EQ(probe.takeOpcodes(), std::vector<int>{effEditClose});
}

TEST_F(Vst2PluginTest, OpenGUIWithoutAWindowOrWithOneThatRefusesTheEditorLeavesNoneOpen) {
    SmartPtr<Vst2PluginInstance> instance = openDescriber();
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
    EXPECT_EQ(Vst2PluginInstance::translateModifiers(1 << 0), MODIFIER_SHIFT);
    EXPECT_EQ(Vst2PluginInstance::translateModifiers(1 << 1), MODIFIER_COMMAND);
    EXPECT_EQ(Vst2PluginInstance::translateModifiers(1 << 2), MODIFIER_CONTROL);
    EXPECT_EQ(Vst2PluginInstance::translateModifiers(1 << 3), MODIFIER_ALTERNATE);
    EXPECT_EQ(Vst2PluginInstance::translateModifiers(0xff), 15);
}
