#include "ProtocolTestSupport.h"
#include "TestPluginInstance.h"

#include "plugin/PluginHost.h"
#include "plugin/PluginHostReplies.h"
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

// How an instance is described to the client; the description's bytes are ProtocolWire's.
class PluginInstanceStateTest : public ::testing::Test {
protected:
    SmartPtr<PluginHost> host = new PluginHost(44100, 256);
    SmartPtr<TestPluginInstance> instance = new TestPluginInstance(host.get(), 1);
};

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

TEST_F(PluginInstanceStateTest, TheDescriptionHasEverythingTheInstanceReportsAskedWhileSettingUp) {
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

    const SmartPtr<PluginInstanceState> state = describePluginInstance(instance.get());
    EXPECT_TRUE(instance->settingUpDuringQueries);
    EXPECT_FALSE(instance->isSettingUp());
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
    EXPECT_TRUE(state->hasKeyNames());
    EXPECT_EQ(state->getKeyNames()[36], "Kick");
    EXPECT_EQ(state->getLatency(), 128);
    EXPECT_TRUE(state->supportsMPE());
    EXPECT_FALSE(state->supportsNoteExpressions());
    EXPECT_TRUE(state->hasNoteOutput());
    EXPECT_FALSE(describePluginInstance(new TestPluginInstance(host.get(), 2))->hasKeyNames());
}

TEST_F(PluginInstanceStateTest, PrintShowsRangesForIntegersOnlyAndTheCreationReplyItsHeaderFirst) {
    TestPluginInstance::Parameter& bypass = instance->addParameter("Bypass", 1.0f);
    bypass.info.isBoolean = true;
    bypass.info.shortName = "Byp";
    bypass.info.category = "Main";
    TestPluginInstance::Parameter& mode = instance->addParameter("Mode", 0.5f);
    mode.info.isInteger = true;
    mode.info.minValue = 0;
    mode.info.maxValue = 4;
    instance->programs = {"Init"};
    const std::string printed =
        "Name: Bypass\nShort Name: Byp\nUnit: \nValue: 1.0\nCategory: Main\nIs boolean\n"
        "Name: Mode\nShort Name: \nUnit: \nValue: 0.5\nCategory: \n"
        "Is integer with range: 0 ... 4\n"
        "\nPrograms:\nInit\n";
    const SmartPtr<PluginInstanceState> state = describePluginInstance(instance.get());
    EXPECT_EQ(written([&](base::core::OutputStream* out) { state->print(out); }), printed);

    instance->addInputBus("In", 0, 1);
    instance->addOutputBus("Out", 0, 2);
    instance->gui = false;
    const SmartPtr<CreatePluginInstanceReply> reply = makeCreatePluginInstanceReply(instance.get());
    EXPECT_EQ(written([&](base::core::OutputStream* out) { reply->print(out); }),
              "Create plugin instance reply\nInstance id: 1\nAudio in channels: 1\nAudio out channels: 2\n"
              "Has GUI: false\n\nParameters:\n" +
                  printed);
}

} // namespace
