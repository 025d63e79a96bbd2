#include "ProtocolTestSupport.h"
#include "RecordingProxyHandler.h"
#include "TestPluginApi.h"
#include "TestPluginInstance.h"

#include "base/core/Assertion.h"
#include "base/core/AssertionFailedException.h"
#include "base/core/IOException.h"
#include "plugin/PluginException.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginHostReplies.h"
#include "plugin/PluginHostRequests.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <stdlib.h>
#include <tuple>

using namespace plugin;
using namespace plugin::test;
using base::core::SmartPtr;
using base::core::String;

namespace {

// How the host runs each request, answers included; the requests' bytes are ProtocolWire's.
class PluginHostRequests : public ::testing::Test {
protected:
    // Made on the test thread, which makes it the main thread: requests run at once.
    TestPluginApi api;
    SmartPtr<PluginHost> host = new PluginHost(44100, 256);
    SmartPtr<RecordingProxyHandler> handler = new RecordingProxyHandler(host.get());

    TestPluginInstance* createInstance(int instanceId) {
        return static_cast<TestPluginInstance*>(
            host->createPluginInstance(instanceId, "/plugins/test.so", "", false));
    }
    // Runs `request` with the given id and returns the answer it wrote on the async channel.
    template <typename Request> std::string asyncAnswer(Request&& request, int requestId) {
        handler->clear();
        request.setRequestId(requestId);
        request.run();
        EXPECT_TRUE(handler->mainBytes.empty());
        return handler->asyncBytes;
    }
    // The answer's reply, read as the client reads it.
    SmartPtr<PluginHostReply> readReply(PluginHostRequest& request, int requestId) {
        auto in = reading(handler->asyncBytes);
        EXPECT_EQ(in->readInt32Native(), requestId);
        EXPECT_TRUE(in->readBool());
        SmartPtr<PluginHostReply> reply = request.readReply(in.get());
        EXPECT_EQ(in->numBytesAvailable(), 0u);
        return reply;
    }
};

TEST_F(PluginHostRequests, PingIsAnsweredWithOneByteOnTheMainChannelAndShutdownShutsTheHandlerDown) {
    PingRequest(handler.get()).run();
    EXPECT_EQ(hex(handler->mainBytes), hex(bytes({0x01})));
    ShutdownRequest(handler.get()).run();
    EXPECT_EQ(handler->shutdownCount, 1);
    EXPECT_EQ(handler->mainBytes.size() + handler->asyncBytes.size(), 1u);
}

TEST_F(PluginHostRequests, PresetsAreLoadedAndSavedInNewDirectoriesAndAFailureOfAnyKindIsAnswered) {
    TestPluginInstance* instance = createInstance(1);
    EXPECT_EQ(hex(asyncAnswer(LoadPresetRequest(handler.get(), 1, "abc"), 5)), hex(bytes({5, 0, 0, 0, 1})));
    EXPECT_EQ(instance->loadedPresets, std::vector<String>{"abc"});
    char pattern[] = "/tmp/pluginhost-preset-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::filesystem::path root(pattern);
    const std::string path = (root / "a" / "b" / "preset.fxp").string();
    EXPECT_EQ(hex(asyncAnswer(SavePresetRequest(handler.get(), 1, path), 8)), hex(bytes({8, 0, 0, 0, 1})));
    EXPECT_TRUE(std::filesystem::is_directory(root / "a" / "b"));
    EXPECT_EQ(instance->savedPresets, std::vector<String>{String(path)});

    // A file where a directory must go fails before the plug-in is asked.
    std::ofstream(root / "file").put('x');
    const std::string blocked =
        asyncAnswer(SavePresetRequest(handler.get(), 1, (root / "file" / "p.fxp").string()), 9);
    EXPECT_EQ(instance->savedPresets.size(), 1u);
    EXPECT_EQ(hex(blocked.substr(0, 5)), hex(bytes({9, 0, 0, 0, 0})));
    std::filesystem::remove_all(root);

    const std::pair<std::function<void()>, const char*> failures[] = {
        {[] { throw base::core::IOException("Bad preset"); }, "Bad preset"},
        {[] { throw PluginException("Bad preset"); }, "Bad preset"},
        {[] { throw std::runtime_error("Bad preset"); }, "Unexpected error: Bad preset"},
        {[] { throw 42; }, "Unexpected error of unknown kind"},
    };
    for (const auto& [failure, answer] : failures) {
        instance->presetFailure = failure;
        EXPECT_EQ(hex(asyncAnswer(LoadPresetRequest(handler.get(), 1, "abc"), 2)),
                  hex(asyncError(2, answer)));
        EXPECT_EQ(hex(asyncAnswer(SavePresetRequest(handler.get(), 1, "/tmp/not-written.fxp"), 3)),
                  hex(asyncError(3, answer)));
    }
}

TEST_F(PluginHostRequests, UpdateIOAnswersTheInstanceAsItIsNowAndForAnUnknownOneLogsAndAnswersAnError) {
    TestPluginInstance* instance = createInstance(2);
    instance->addInputBus("In", 0, 2);
    instance->addOutputBus("Out", 0, 3);
    instance->latency = 64;
    instance->addParameter("Gain", 0.25f);
    UpdateIORequest request(handler.get(), 2);
    asyncAnswer(request, 11);
    const SmartPtr<PluginHostReply> reply = readReply(request, 11);
    ASSERT_EQ(reply->getReplyType(), PluginHostReply::DEFINE_IO);
    auto* defineIo = static_cast<DefineIoReply*>(reply.get());
    EXPECT_EQ(defineIo->getInstanceId(), 2);
    EXPECT_EQ(defineIo->getAudioOutChannelCount(), 3);
    EXPECT_EQ(defineIo->getLatency(), 64);
    ASSERT_EQ(defineIo->getState()->getParameters().size(), 1u);
    EXPECT_EQ(defineIo->getState()->getParameters()[0]->getName(), "Gain");

    testing::internal::CaptureStderr();
    const std::string answer = asyncAnswer(UpdateIORequest(handler.get(), 42), 4);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "No plugin instance found with id 42\n");
    EXPECT_EQ(hex(answer), hex(asyncError(4, "No plugin instance found with id 42")));
}

TEST_F(PluginHostRequests, CreatePluginInstanceSetsUpRegistersAndAnswers) {
    api.configure = [](TestPluginInstance& instance) {
        instance.addInputBus("In", 0, 2);
        instance.addOutputBus("Out", 0, 2);
        instance.addParameter("Cutoff", 0.5f, "1000", "Hz");
    };
    CreatePluginInstanceRequest request(handler.get(), 4, "/plugins/synth.so", "1234", "/presets/init.fxp",
                                        true);
    asyncAnswer(request, 6);

    auto* instance = static_cast<TestPluginInstance*>(host->getPluginInstance(4));
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(instance->openCount, 1);
    EXPECT_TRUE(instance->getCreationFlag());
    EXPECT_EQ(instance->prepareCount, 1);
    EXPECT_TRUE(instance->settingUpWhilePreparing);
    EXPECT_EQ(instance->loadedPresets, std::vector<String>{"/presets/init.fxp"});
    EXPECT_EQ(handler->initializedInstances, std::vector<PluginInstance*>{instance});
    EXPECT_TRUE(handler->initializedWhileSettingUp);
    EXPECT_EQ(instance->getProxyHandler(), handler.get());
    EXPECT_FALSE(instance->isSettingUp());

    const SmartPtr<PluginHostReply> reply = readReply(request, 6);
    ASSERT_EQ(reply->getReplyType(), PluginHostReply::CREATE_PLUGIN_INSTANCE);
    auto* created = static_cast<CreatePluginInstanceReply*>(reply.get());
    EXPECT_EQ(created->getInstanceId(), 4);
    EXPECT_TRUE(created->hasGUI());
    ASSERT_EQ(created->getState()->getParameters().size(), 1u);
    EXPECT_EQ(created->getState()->getParameters()[0]->getUnit(), "Hz");

    // Without a preset none is loaded.
    asyncAnswer(CreatePluginInstanceRequest(handler.get(), 5, "/plugins/synth.so"), 7);
    EXPECT_TRUE(static_cast<TestPluginInstance*>(host->getPluginInstance(5))->loadedPresets.empty());
}

TEST_F(PluginHostRequests, CreatePluginInstanceFailuresAnswerTheirMessage) {
    EXPECT_EQ(hex(asyncAnswer(CreatePluginInstanceRequest(handler.get(), 4, "/plugins/missing.so"), 1)),
              hex(asyncError(1, "Couldn't load VST plug-in: /plugins/missing.so")));
    EXPECT_EQ(host->getPluginInstance(4), nullptr);

    api.configure = [](TestPluginInstance& instance) {
        instance.presetFailure = [] { throw base::core::IOException("No such preset"); };
    };
    EXPECT_EQ(hex(asyncAnswer(
                  CreatePluginInstanceRequest(handler.get(), 5, "/plugins/synth.so", "", "/p/gone.fxp"), 2)),
              hex(asyncError(2, "No such preset")));
    // The instance stays registered, but was never handed to the handler.
    auto* instance = static_cast<TestPluginInstance*>(host->getPluginInstance(5));
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(instance->getProxyHandler(), nullptr);
    EXPECT_TRUE(handler->initializedInstances.empty());
}

// A client's request carries no handler: running it is a programming error, not host work.
TEST_F(PluginHostRequests, RunningARequestWithoutAHandlerIsAnAssertion) {
    base::core::pushAssertionInteractionMode(base::core::NonInteractiveAssertions);
    EXPECT_THROW(PingRequest(nullptr).run(), base::core::AssertionFailedException);
    base::core::popAssertionInteractionMode();
}

TEST_F(PluginHostRequests, InstanceRequestsReachTheirInstance) {
    TestPluginInstance* instance = createInstance(1);
    TestPluginInstance* other = createInstance(2);

    OpenGUIRequest(handler.get(), 1, 0x5000001, true, "Editor").run();
    ASSERT_EQ(instance->openGUICalls.size(), 1u);
    EXPECT_EQ(instance->openGUICalls[0].parent, reinterpret_cast<void*>(0x5000001));
    EXPECT_TRUE(instance->openGUICalls[0].flag);
    EXPECT_EQ(instance->openGUICalls[0].title, "Editor");

    SetWindowTitleRequest(handler.get(), 1, "Renamed").run();
    EXPECT_EQ(instance->getTestWindow()->title, "Renamed");

    SetCurrentProgramRequest(handler.get(), 1, 5).run();
    EXPECT_EQ(instance->getCurrentProgram(), 5);

    // Only remembered for the next opening.
    SetWindowPositionRequest(handler.get(), 1, 1, 2, 300, 200).run();
    EXPECT_EQ(std::make_tuple(instance->isWindowSizeKnown(), instance->getWindowX(), instance->getWindowY(),
                              instance->getWindowWidth(), instance->getWindowHeight()),
              std::make_tuple(true, 1, 2, 300, 200));

    // Closing deletes the window, which tells the client.
    CloseGUIRequest(handler.get(), 1).run();
    EXPECT_EQ(instance->getWindow(), nullptr);
    EXPECT_EQ(hex(handler->asyncBytes), hex(bytes({0, 0, 0, 0, 4, 1, 0, 0, 0})));
    EXPECT_TRUE(other->openGUICalls.empty());
    EXPECT_EQ(other->getCurrentProgram(), 0);

    SmartPtr<TestPluginInstance> keep = other;
    DestroyPluginInstanceRequest(handler.get(), 2).run();
    EXPECT_EQ(other->destroyCount, 1);
    EXPECT_EQ(host->getPluginInstance(2), nullptr);
    EXPECT_EQ(host->getPluginInstance(1), instance);
    EXPECT_TRUE(handler->mainBytes.empty());
}

TEST_F(PluginHostRequests, AppWideGUIRequestsTouchOnlyOpenWindows) {
    TestPluginInstance* first = createInstance(1);
    TestPluginInstance* second = createInstance(2);
    TestPluginInstance* closed = createInstance(3);
    first->openGUI(nullptr, false, "1");
    second->openGUI(nullptr, false, "2");

    HideAllGUIsRequest(handler.get()).run();
    HideAllGUIsRequest(handler.get()).run(); // already hidden: not hidden again
    for (TestPluginInstance* instance : {first, second}) {
        EXPECT_TRUE(instance->isHidden());
        EXPECT_EQ(instance->getTestWindow()->hideCount, 1);
    }
    EXPECT_FALSE(closed->isHidden());

    ShowAllGUIsRequest(handler.get()).run();
    ShowAllGUIsRequest(handler.get()).run(); // already shown: not shown again
    ActivateAppGUIRequest(handler.get()).run();
    for (TestPluginInstance* instance : {first, second}) {
        EXPECT_FALSE(instance->isHidden());
        EXPECT_EQ(instance->getTestWindow()->showCount, 1);
        EXPECT_TRUE(instance->getTestWindow()->suppressedWhileShown);
        EXPECT_FALSE(instance->areWindowNotificationsSuppressed());
        EXPECT_EQ(instance->getTestWindow()->activateCount, 1);
    }
    EXPECT_TRUE(handler->asyncBytes.empty());
}

} // namespace
