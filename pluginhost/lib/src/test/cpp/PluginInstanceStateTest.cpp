#include "ProtocolTestSupport.h"
#include "TestPluginInstance.h"

#include "base/core/IOException.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginHostReplies.h"
#include "plugin/PluginHostRequests.h"
#include "plugin/PluginInstanceDescription.h"
#include "plugin/PluginInstanceState.h"
#include "plugin/PluginText.h"

#include <gtest/gtest.h>

using namespace plugin;
using namespace plugin::test;
using base::core::Char;
using base::core::SmartPtr;
using base::core::String;

namespace {

class PluginInstanceStateTest : public ::testing::Test {
protected:
    SmartPtr<PluginHost> host = new PluginHost(44100, 256);
    SmartPtr<TestPluginInstance> instance = new TestPluginInstance(host.get(), 1);

    std::string stateBytes() {
        const SmartPtr<PluginInstanceState> state = describePluginInstance(instance.get());
        return written([&](base::core::OutputStream* out) { state->write(out); });
    }

    // Reads a state back and checks that it writes the same bytes again.
    SmartPtr<PluginInstanceState> readBack(const std::string& data) {
        auto in = reading(data);
        SmartPtr<PluginInstanceState> state = new PluginInstanceState(in.get());
        EXPECT_EQ(in->numBytesAvailable(), 0u);
        EXPECT_EQ(hex(written([&](base::core::OutputStream* out) { state->write(out); })), hex(data));
        return state;
    }

    void addPrintedParameters() {
        TestPluginInstance::Parameter& bypass = instance->addParameter("Bypass", 1.0f);
        bypass.info.isBoolean = true;
        bypass.info.shortName = "Byp";
        bypass.info.category = "Main";
        TestPluginInstance::Parameter& mode = instance->addParameter("Mode", 0.5f);
        mode.info.isInteger = true;
        mode.info.minValue = 0;
        mode.info.maxValue = 4;
        instance->programs = {"Init"};
    }

    static constexpr const char* PRINTED_STATE = "Name: Bypass\n"
                                                 "Short Name: Byp\n"
                                                 "Unit: \n"
                                                 "Value: 1.0\n"
                                                 "Category: Main\n"
                                                 "Is boolean\n"
                                                 "Name: Mode\n"
                                                 "Short Name: \n"
                                                 "Unit: \n"
                                                 "Value: 0.5\n"
                                                 "Category: \n"
                                                 "Is integer with range: 0 ... 4\n"
                                                 "\nPrograms:\n"
                                                 "Init\n";
};

TEST_F(PluginInstanceStateTest, AnEmptyInstanceIs24Bytes) {
    const std::string data = stateBytes();
    EXPECT_EQ(hex(data), hex(std::string(24, '\0')));
    const SmartPtr<PluginInstanceState> state = readBack(data);
    EXPECT_TRUE(state->getParameters().empty());
    EXPECT_FALSE(state->hasKeyNames());
}

TEST_F(PluginInstanceStateTest, OneKeyNameSendsAll128) {
    instance->keyNames[60] = "C3";
    const std::string data = stateBytes();
    ASSERT_EQ(data.size(), 24u + 127 * 4 + 4 + 2);
    EXPECT_EQ(data[16], 1); // hasKeyNames, after the four counts
    EXPECT_EQ(hex(data.substr(17, 4)), hex(bytes({0, 0, 0, 0})));
    EXPECT_EQ(hex(data.substr(17 + 60 * 4, 6)), hex(binaryString("C3")));

    const SmartPtr<PluginInstanceState> state = readBack(data);
    EXPECT_TRUE(state->hasKeyNames());
    EXPECT_EQ(state->getKeyNames()[60], "C3");
    EXPECT_TRUE(state->getKeyNames()[59].isEmpty());
    EXPECT_TRUE(state->getKeyNames()[127].isEmpty());
}

TEST_F(PluginInstanceStateTest, ABusIsItsNameAndBigEndianChannels) {
    const SmartPtr<PluginAudioBus> bus = new PluginAudioBus("Main", 2, 2);
    const std::string data = written([&](base::core::OutputStream* out) { bus->write(out); });
    EXPECT_EQ(hex(data), hex(binaryString("Main") + bytes({0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 3})));

    auto in = reading(data);
    const SmartPtr<PluginAudioBus> read = new PluginAudioBus(in.get());
    EXPECT_EQ(read->getName(), "Main");
    EXPECT_EQ(read->getChannels(), (std::vector<int32_t>{2, 3}));
    EXPECT_EQ(PluginAudioBus("Side", 5).getChannels(), (std::vector<int32_t>{5}));
}

TEST_F(PluginInstanceStateTest, PluginTextsAreUTF8OrElseLatin1) {
    const Char eAcute = 0xE9;
    EXPECT_EQ(decodePluginText("\xC3\xA9"), String::fromChars(&eAcute, 1));
    EXPECT_EQ(decodePluginText("\xE9"), String::fromChars(&eAcute, 1));
    EXPECT_EQ(decodePluginText(""), String());

    instance->addParameter("\xE9", 0.0f, "caf\xC3\xA9");
    instance->programs = {"\xE9t\xE9"};
    const SmartPtr<PluginInstanceState> state = describePluginInstance(instance.get());
    EXPECT_EQ(state->getParameters()[0]->getName(), String::fromChars(&eAcute, 1));
    EXPECT_EQ(state->getParameters()[0]->getDisplay(), String(u"caf\u00E9"));
    EXPECT_EQ(state->getPrograms()[0]->getName(), String(u"\u00E9t\u00E9"));
}

TEST_F(PluginInstanceStateTest, AFullStateReadsBackAsWritten) {
    instance->addInputBus("Main In", 0, 2);
    instance->addInputBus("Side", 2, 1);
    instance->addOutputBus("Main Out", 0, 2);
    TestPluginInstance::Parameter& cutoff = instance->addParameter("Cutoff", 0.75f, "4000", "Hz");
    cutoff.info.shortName = "Cut";
    cutoff.info.category = "Filter";
    cutoff.info.index = 17;
    TestPluginInstance::Parameter& steps = instance->addParameter("Steps", 0.25f, "2");
    steps.info.automatable = false;
    steps.info.isInteger = true;
    steps.info.minValue = -2;
    steps.info.maxValue = 6;
    instance->programs = {"Init", "Lead"};
    instance->keyNames[36] = "Kick";
    instance->latency = 128;
    instance->mpe = true;
    instance->noteOutput = true;

    const std::string data = stateBytes();
    EXPECT_TRUE(instance->settingUpDuringQueries);
    EXPECT_FALSE(instance->isSettingUp());

    const SmartPtr<PluginInstanceState> state = readBack(data);
    ASSERT_EQ(state->getInputBuses().size(), 2u);
    EXPECT_EQ(state->getInputBuses()[1]->getName(), "Side");
    EXPECT_EQ(state->getInputBuses()[1]->getChannels(), (std::vector<int32_t>{2}));
    ASSERT_EQ(state->getOutputBuses().size(), 1u);
    ASSERT_EQ(state->getParameters().size(), 2u);
    const ParameterInfo& first = *state->getParameters()[0];
    EXPECT_EQ(first.getName(), "Cutoff");
    EXPECT_EQ(first.getShortName(), "Cut");
    EXPECT_EQ(first.getDisplay(), "4000");
    EXPECT_EQ(first.getUnit(), "Hz");
    EXPECT_EQ(first.getCategory(), "Filter");
    EXPECT_EQ(first.getValue(), 0.75f);
    EXPECT_EQ(first.getIndex(), 17);
    EXPECT_TRUE(first.isAutomatable());
    EXPECT_FALSE(first.isInteger());
    const ParameterInfo& second = *state->getParameters()[1];
    EXPECT_FALSE(second.isAutomatable());
    EXPECT_TRUE(second.isInteger());
    EXPECT_EQ(second.getMinValue(), -2);
    EXPECT_EQ(second.getMaxValue(), 6);
    ASSERT_EQ(state->getPrograms().size(), 2u);
    EXPECT_EQ(state->getPrograms()[1]->getName(), "Lead");
    EXPECT_EQ(state->getKeyNames()[36], "Kick");
    EXPECT_EQ(state->getLatency(), 128);
    EXPECT_TRUE(state->supportsMPE());
    EXPECT_FALSE(state->supportsNoteExpressions());
    EXPECT_TRUE(state->hasNoteOutput());
}

TEST_F(PluginInstanceStateTest, ANegativeCountIsRejected) {
    const std::string data = bytes({0xFF, 0xFF, 0xFF, 0xFF});
    auto in = reading(data);
    EXPECT_THROW(PluginInstanceState state(in.get()), base::core::IOException);
}

TEST_F(PluginInstanceStateTest, PrintShowsRangesForIntegersOnly) {
    addPrintedParameters();
    const SmartPtr<PluginInstanceState> state = describePluginInstance(instance.get());
    EXPECT_EQ(written([&](base::core::OutputStream* out) { state->print(out); }), PRINTED_STATE);
}

TEST_F(PluginInstanceStateTest, CreatePluginInstanceReplyPrintsItsHeaderThenTheState) {
    addPrintedParameters();
    instance->addInputBus("In", 0, 1);
    instance->addOutputBus("Out", 0, 2);
    instance->gui = false;
    const SmartPtr<CreatePluginInstanceReply> reply = makeCreatePluginInstanceReply(instance.get());
    EXPECT_EQ(written([&](base::core::OutputStream* out) { reply->print(out); }),
              std::string("Create plugin instance reply\n"
                          "Instance id: 1\n"
                          "Audio in channels: 1\n"
                          "Audio out channels: 2\n"
                          "Has GUI: false\n"
                          "\nParameters:\n") +
                  PRINTED_STATE);
}

TEST_F(PluginInstanceStateTest, RepliesReadBackAsWritten) {
    instance->addInputBus("In", 0, 2);
    instance->addOutputBus("Out", 0, 4);
    instance->addParameter("Gain", 0.5f);
    instance->latency = 32;

    const SmartPtr<CreatePluginInstanceReply> created = makeCreatePluginInstanceReply(instance.get());
    const std::string createdData = written([&](base::core::OutputStream* out) { created->write(out); });
    EXPECT_EQ(hex(createdData.substr(0, 17)),
              hex(bytes({1, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 32, 0, 0, 0, 1})));
    auto createdIn = reading(createdData);
    const SmartPtr<PluginHostReply> createdRead =
        CreatePluginInstanceRequest(nullptr, 1).readReply(createdIn.get());
    EXPECT_EQ(createdIn->numBytesAvailable(), 0u);
    ASSERT_EQ(createdRead->getReplyType(), PluginHostReply::CREATE_PLUGIN_INSTANCE);
    EXPECT_EQ(static_cast<CreatePluginInstanceReply*>(createdRead.get())->getAudioContext(), nullptr);
    EXPECT_EQ(hex(written([&](base::core::OutputStream* out) { createdRead->write(out); })),
              hex(createdData));

    const SmartPtr<DefineIoReply> defineIo = makeDefineIoReply(instance.get());
    const std::string defineIoData = written([&](base::core::OutputStream* out) { defineIo->write(out); });
    EXPECT_EQ(hex(defineIoData.substr(0, 16)), hex(bytes({1, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 32, 0, 0, 0})));
    auto defineIoIn = reading(defineIoData);
    const SmartPtr<PluginHostReply> defineIoRead = UpdateIORequest(nullptr, 1).readReply(defineIoIn.get());
    EXPECT_EQ(defineIoIn->numBytesAvailable(), 0u);
    ASSERT_EQ(defineIoRead->getReplyType(), PluginHostReply::DEFINE_IO);
    EXPECT_EQ(hex(written([&](base::core::OutputStream* out) { defineIoRead->write(out); })),
              hex(defineIoData));

    // Preset replies have no body: the client makes them from its own request.
    const std::string nothing;
    auto empty = reading(nothing);
    const SmartPtr<PluginHostReply> loaded = LoadPresetRequest(nullptr, 3, "a.fxp").readReply(empty.get());
    ASSERT_EQ(loaded->getReplyType(), PluginHostReply::LOAD_PRESET);
    EXPECT_EQ(static_cast<LoadPresetReply*>(loaded.get())->getInstanceId(), 3);
    EXPECT_EQ(static_cast<LoadPresetReply*>(loaded.get())->getPresetPath(), "a.fxp");
    const SmartPtr<PluginHostReply> saved = SavePresetRequest(nullptr, 4, "b.fxp").readReply(empty.get());
    ASSERT_EQ(saved->getReplyType(), PluginHostReply::SAVE_PRESET);
    EXPECT_EQ(static_cast<SavePresetReply*>(saved.get())->getPresetPath(), "b.fxp");
    EXPECT_TRUE(written([&](base::core::OutputStream* out) { saved->write(out); }).empty());
    EXPECT_TRUE(PingRequest(nullptr).readReply(empty.get()).isNull());
}

} // namespace
