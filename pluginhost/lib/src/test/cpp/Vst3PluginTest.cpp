#include "vst3/Vst3Plugin.h"
#include "base/core/IOException.h"
#include "plugin/PluginAudioBus.h"
#include "plugin/PluginHost.h"
#include "vst3/Vst3Debug.h"
#include "vst3/Vst3PluginApi.h"
#include "vst3/Vst3PluginInstance.h"

#include "pluginterfaces/vst/ivstmessage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

using namespace plugin;
using base::core::SmartPtr;
using base::core::String;
using namespace Steinberg;

namespace {

class Vst3PluginTest : public testing::Test {
protected:
    void SetUp() override {
        previousApi = std::exchange(VST3_PLUGIN_API_INSTANCE, &api);
        host = new PluginHost(44100, 256);
    }
    void TearDown() override {
        host.reset();
        VST3_PLUGIN_API_INSTANCE = previousApi;
    }

    Vst3Plugin* load(const char* path) { return dynamic_cast<Vst3Plugin*>(host->getPlugin(path)); }

    SmartPtr<Vst3PluginInstance> create(const char* path, const String& deviceId = String()) {
        SmartPtr<PluginInstance> instance = load(path)->createInstance(7, deviceId, false);
        if (instance->wasSucessfullyInstanciated())
            instance->open();
        return SmartPtr<Vst3PluginInstance>(dynamic_cast<Vst3PluginInstance*>(instance.get()));
    }

    static std::vector<std::pair<std::string, std::vector<int32_t>>> buses(Vst3PluginInstance* instance,
                                                                           bool inputs) {
        std::vector<SmartPtr<PluginAudioBus>> list;
        inputs ? instance->listAudioInputBuses(list) : instance->listAudioOutputBuses(list);
        std::vector<std::pair<std::string, std::vector<int32_t>>> result;
        for (const auto& bus : list)
            result.emplace_back(bus->getName().getStdString(), bus->getChannels());
        return result;
    }

    Vst3PluginApi api;
    PluginApi* previousApi = nullptr;
    SmartPtr<PluginHost> host;
};

TEST_F(Vst3PluginTest, ModulesThatCannotLoadReportItWithoutThrowing) {
    for (const char* path : {"/does/not/exist.vst3", "/tmp", VST2_TESTNULL}) {
        SmartPtr<Plugin> plugin = api.loadPlugin(host.get(), path);
        ASSERT_TRUE(plugin) << path;
        EXPECT_FALSE(plugin->wasSuccesfullyLoaded()) << path;
    }
}

TEST_F(Vst3PluginTest, CatalogueHoldsOnlyAudioModuleClassesAndAnEmptyIdPicksTheOnlyOne) {
    Vst3Plugin* plugin = load(VST3_TESTVST3TWOCLASS);
    ASSERT_TRUE(plugin && plugin->wasSuccesfullyLoaded());
    std::vector<String> ids{"kept"};
    plugin->listDeviceIds(ids);
    ASSERT_EQ(ids.size(), 2u) << "appends, and leaves the controller class out";
    EXPECT_EQ(ids[1].getStdString(), "5A454C56335457434C53000000000001");

    SmartPtr<Vst3PluginInstance> byEmptyId = create(VST3_TESTVST3TWOCLASS);
    EXPECT_TRUE(byEmptyId->wasSucessfullyInstanciated());
    EXPECT_EQ(byEmptyId->getProductIdentifier(), ids[1]);
    for (const char* deviceId : {"not a class id", "00000000000000000000000000000001"}) {
        SmartPtr<Vst3PluginInstance> none = create(VST3_TESTVST3TWOCLASS, deviceId);
        EXPECT_FALSE(none->wasSucessfullyInstanciated()) << deviceId;
        EXPECT_EQ(none->getParameterCount(), 0);
        EXPECT_EQ(none->getTotalAudioInChannelCount(), 0);
    }

    const TUID bytes = {0x0A, static_cast<char>(0xFF), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    EXPECT_EQ(Vst3Plugin::toClassIdString(bytes).getStdString(), "0AFF0000000000000000000000000001");
}

TEST_F(Vst3PluginTest, EachTestBundleDescribesItself) {
    using Buses = std::vector<std::pair<std::string, std::vector<int32_t>>>;
    struct Case {
        const char* path;
        const char* category;
        PluginInstance::PluginClass pluginClass;
        Buses inputs;
        Buses outputs;
        bool controllerIsComponent;
        int parameters;
        bool noteExpressions;
    };
    const Case cases[] = {
        // The 5.1 main input is set back to stereo; the mono side chain stays mono.
        {VST3_TESTVST3SINGLE,
         "Delay",
         PluginInstance::AUDIO_TO_AUDIO,
         {{"Main In", {0, 1}}, {"Side Chain", {2}}},
         {{"Main Out", {0, 1}}},
         true,
         3,
         false},
        {VST3_TESTVST3TWOCLASS,
         "Fx",
         PluginInstance::AUDIO_TO_AUDIO,
         {{"In", {0, 1}}},
         {{"Out", {0, 1}}},
         false,
         1,
         false},
        {VST3_TESTVST3PROGRAMS,
         "EQ",
         PluginInstance::AUDIO_TO_AUDIO,
         {{"In", {0}}},
         {{"Out", {0}}},
         false,
         2,
         false},
        {VST3_TESTVST3INSTRUMENT,
         "Synth / Sampler",
         PluginInstance::NOTE_TO_AUDIO,
         {},
         {{"Main Out", {0, 1}}, {"Aux Out", {2}}},
         true,
         1,
         true},
        // No "Fx" or "Instrument" word: the class comes from the main buses.
        {VST3_TESTVST3RUNLOOP, "Analyzer", PluginInstance::AUDIO_TO_NOTE, {{"In", {0}}}, {}, true, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        SmartPtr<Vst3PluginInstance> instance = create(c.path);
        ASSERT_TRUE(instance->wasSucessfullyInstanciated());
        EXPECT_EQ(instance->getPluginState(), PluginInstance::OPEN);
        EXPECT_EQ(instance->getCategory().getStdString(), c.category);
        EXPECT_EQ(instance->getSupportPluginClasses(),
                  std::vector<PluginInstance::PluginClass>{c.pluginClass});
        EXPECT_EQ(buses(instance.get(), true), c.inputs);
        EXPECT_EQ(buses(instance.get(), false), c.outputs);
        EXPECT_EQ(instance->isControllerComponent(), c.controllerIsComponent);
        EXPECT_EQ(instance->getParameterCount(), c.parameters);
        EXPECT_EQ(instance->supportsVST3NoteExpressions(), c.noteExpressions);
        EXPECT_EQ(instance->getProductVendorName().getStdString(), "Zelvar Test Plug-ins");
        EXPECT_EQ(instance->getCurrentProgram(), -1);
        EXPECT_FALSE(instance->hasGUI());
        instance->destroy();
        EXPECT_EQ(instance->getPluginState(), PluginInstance::DESTROYED);
    }
}

TEST_F(Vst3PluginTest, SetUpConnectsTheHalvesAndInitializesASingleComponentOnce) {
    SmartPtr<Vst3PluginInstance> twoClass = create(VST3_TESTVST3TWOCLASS);
    EXPECT_EQ(twoClass->getPluginLatency(), 42) << "the controller's message reached the component";
    EXPECT_FLOAT_EQ(twoClass->getParameterNormalizedValue(0), 0.7f)
        << "the component state reached the controller";
    char display[32] = {};
    twoClass->getParameterDisplay(0, display, sizeof(display));
    EXPECT_STREQ(display, "0.7000");

    SmartPtr<Vst3PluginInstance> single = create(VST3_TESTVST3SINGLE);
    char name[32] = {};
    single->getParameterName(2, name, sizeof(name));
    ASSERT_STREQ(name, "Initialize calls");
    EXPECT_FLOAT_EQ(single->getParameterNormalizedValue(2), 0.1f);
    PluginParameterInfo info;
    single->getParameterInfo(1, info);
    EXPECT_TRUE(info.automatable);
    EXPECT_TRUE(info.isBoolean);
    EXPECT_FALSE(info.isInteger);
    EXPECT_EQ(info.maxValue, 1);
    single->getParameterInfo(0, info);
    EXPECT_EQ(info.shortName.getStdString(), "Tm");
    char unit[4] = {'?', '?', '?', '?'};
    single->getParameterUnit(0, unit, 2);
    EXPECT_EQ(std::string(unit, 4), "ms??") << "at most the size given, no terminator added";
}

TEST_F(Vst3PluginTest, ProgramsComeFromTheRootUnitsListAndSelectTheProgramParameter) {
    SmartPtr<Vst3PluginInstance> instance = create(VST3_TESTVST3PROGRAMS);
    // The count is the program parameter's step count.
    ASSERT_EQ(instance->getProgramCount(), 3);
    std::vector<std::string> names;
    for (int i = 0; i < 3; ++i) {
        char name[32] = {'x'};
        instance->getProgramName(i, name, sizeof(name));
        names.emplace_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Init", "Bass", "Lead"}));
    instance->setCurrentProgram(2, 0);
    EXPECT_FLOAT_EQ(instance->getParameterNormalizedValue(0), 2.0f / 3.0f);
    EXPECT_TRUE(instance->isRefreshRequested()) << "the plug-in's restartComponent reached the instance";
    instance->setCurrentProgram(3, 0);
    EXPECT_FLOAT_EQ(instance->getParameterNormalizedValue(0), 2.0f / 3.0f) << "beyond the count: ignored";

    EXPECT_EQ(create(VST3_TESTVST3SINGLE)->getProgramCount(), 0) << "no program list";
}

TEST_F(Vst3PluginTest, ComponentHandlerChecksIdsAndValues) {
    SmartPtr<Vst3PluginInstance> instance = create(VST3_TESTVST3SINGLE);
    Vst3Host& vst3Host = instance->getVst3Host();
    constexpr Vst::ParamID TIME = 10;
    constexpr Vst::ParamID UNKNOWN = 4711;
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
    EXPECT_EQ(vst3Host.getIndexOfParamID(12), 2);

    // While the plug-in edits a parameter, the client's values for it are ignored; others still apply.
    ASSERT_EQ(vst3Host.beginEdit(TIME), kResultOk);
    instance->setParameterNormalizedValue(0, 0.9f);
    instance->setParameterNormalizedValue(1, 1.0f);
    EXPECT_FLOAT_EQ(instance->getParameterNormalizedValue(0), 0.5f) << "its default, kept";
    EXPECT_FLOAT_EQ(instance->getParameterNormalizedValue(1), 1.0f);
    ASSERT_EQ(vst3Host.endEdit(TIME), kResultOk);
    instance->setParameterNormalizedValue(0, 0.9f);
    EXPECT_FLOAT_EQ(instance->getParameterNormalizedValue(0), 0.9f);

    Vst::String128 name{};
    ASSERT_EQ(vst3Host.getName(name), kResultOk);
    EXPECT_EQ(String(reinterpret_cast<const char16_t*>(name)).getStdString(), "Zelvar Studio");
    void* object = reinterpret_cast<void*>(1);
    TUID messageId;
    TUID listId;
    std::memcpy(messageId, Vst::IMessage::iid, sizeof(TUID));
    std::memcpy(listId, Vst::IAttributeList::iid, sizeof(TUID));
    EXPECT_EQ(vst3Host.createInstance(messageId, listId, &object), kResultFalse);
    EXPECT_EQ(object, nullptr);
    ASSERT_EQ(vst3Host.createInstance(listId, listId, &object), kResultOk);
    IPtr<Vst::IAttributeList> list = owned(static_cast<Vst::IAttributeList*>(object));
    int64 value = 0;
    ASSERT_EQ(list->setInt("a", 5), kResultOk);
    ASSERT_EQ(list->getInt("a", value), kResultOk);
    EXPECT_EQ(value, 5);
}

TEST_F(Vst3PluginTest, HostContextAndEditorFrameBothOfferTheRunLoop) {
    SmartPtr<Vst3PluginInstance> instance = create(VST3_TESTVST3SINGLE);
    FUnknown* context = instance->getVst3Host().getContext();
    FUnknown* frame = instance->getFrame();
    IPtr<Linux::IRunLoop> fromContext = FUnknownPtr<Linux::IRunLoop>(context);
    IPtr<Linux::IRunLoop> fromFrame = FUnknownPtr<Linux::IRunLoop>(frame);
    ASSERT_TRUE(fromContext);
    EXPECT_EQ(fromContext.get(), fromFrame.get());
    EXPECT_TRUE(FUnknownPtr<Vst::IHostApplication>(context));
    EXPECT_FALSE(FUnknownPtr<Vst::IAttributeList>(context));
    EXPECT_FALSE(FUnknownPtr<Vst::IHostApplication>(frame));
}

TEST_F(Vst3PluginTest, FailuresNameLocationCodeAndSource) {
    const struct {
        tresult result;
        const char* text;
    } cases[] = {{kInvalidArgument, "\"Step\" returned error code: 2 (kInvalidArgument)\n in src/X : 653"},
                 {kNoInterface, "\"Step\" returned error code: -1 (kNoInterface)\n in src/X : 653"},
                 {42, "\"Step\" returned error code: 42 (Unknown result!)\n in src/X : 653"}};
    for (const auto& c : cases) {
        try {
            Vst3Debug::throwErrorMessageException(c.result, "\"Step\"", "src/X", 653);
            ADD_FAILURE() << "no exception for " << c.result;
        } catch (const base::core::IOException& e) {
            EXPECT_EQ(e.getMessage().getStdString(), c.text);
        }
    }
    EXPECT_NO_THROW(Vst3Debug::throwErrorMessageException(kResultOk, "\"Step\"", "src/X", 653));
    EXPECT_STREQ(Vst3Debug::getResultName(42), "unknown result");
}

TEST_F(Vst3PluginTest, HostModifierBitsBecomeKeyModifiers) {
    // Shift 1, control 2, command 4, alternate 8 to the SDK's shift 1, alternate 2, command 4, control 8.
    const std::pair<int, int> cases[] = {{1, 1}, {2, 8}, {4, 4}, {8, 2}, {15, 15}, {16 | 32, 0}};
    for (const auto& [host, expected] : cases)
        EXPECT_EQ(Vst3PluginInstance::translateModifiers(host), expected) << host;
}

} // namespace
