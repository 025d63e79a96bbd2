#include "ProtocolTestSupport.h"
#include "RecordingProxyHandler.h"
#include "TestPluginApi.h"
#include "TestPluginInstance.h"

#include "base/core/Assertion.h"
#include "base/core/AssertionFailedException.h"
#include "base/core/IOException.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginHostReplies.h"
#include "plugin/PluginHostRequests.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdlib.h>

using namespace plugin;
using namespace plugin::test;
using base::core::SmartPtr;
using base::core::String;

namespace {

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

    std::string frame(PluginHostRequest& request) {
        return written([&](base::core::OutputStream* out) { writeRequest(out, request); });
    }
};

TEST_F(PluginHostRequests, PingIsOneByteOnTheMainChannelAndItsAnswerIsOneByte) {
    PingRequest ping(handler.get());
    ping.setRequestId(3); // synchronous: the id never travels
    EXPECT_EQ(hex(frame(ping)), hex(bytes({0x0D})));
    ping.run();
    EXPECT_EQ(hex(handler->mainBytes), hex(bytes({0x01})));
    EXPECT_TRUE(handler->asyncBytes.empty());
}

TEST_F(PluginHostRequests, LoadPresetIsFramedWithItsRequestIdAndAnsweredOnTheAsyncChannel) {
    TestPluginInstance* instance = createInstance(1);
    LoadPresetRequest request(handler.get(), 1, "abc");
    request.setRequestId(5);
    EXPECT_EQ(hex(frame(request)), hex(bytes({0x05, 5, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 3}) + ascii("abc")));

    request.run();
    ASSERT_EQ(instance->loadedPresets.size(), 1u);
    EXPECT_EQ(instance->loadedPresets[0], "abc");
    EXPECT_EQ(hex(handler->asyncBytes), hex(bytes({5, 0, 0, 0, 1})));
    EXPECT_TRUE(handler->mainBytes.empty());
}

TEST_F(PluginHostRequests, APresetFailureOfAnyKindIsAnswered) {
    const struct {
        TestPluginInstance::FailureKind kind;
        const char* answer;
    } failures[] = {
        {TestPluginInstance::IO_EXCEPTION, "Bad preset"},
        {TestPluginInstance::PLUGIN_EXCEPTION, "Bad preset"},
        {TestPluginInstance::STD_EXCEPTION, "Unexpected error: Bad preset"},
        {TestPluginInstance::FOREIGN_EXCEPTION, "Unexpected error of unknown kind"},
    };
    TestPluginInstance* instance = createInstance(1);
    instance->loadPresetError = instance->savePresetError = "Bad preset";
    for (const auto& failure : failures) {
        instance->presetFailure = failure.kind;
        handler->clear();
        LoadPresetRequest load(handler.get(), 1, "abc");
        load.setRequestId(2);
        load.run();
        SavePresetRequest save(handler.get(), 1, "/tmp/never-written.fxp");
        save.setRequestId(3);
        save.run();
        EXPECT_EQ(hex(handler->asyncBytes),
                  hex(asyncError(2, failure.answer) + asyncError(3, failure.answer)))
            << failure.answer;
    }
}

TEST_F(PluginHostRequests, SetWindowPositionHasALittleEndianIdAndBigEndianCoordinates) {
    TestPluginInstance* instance = createInstance(3);
    SetWindowPositionRequest request(handler.get(), 3, 1, 2, 0x0304, -1);
    EXPECT_EQ(hex(frame(request)),
              hex(bytes({0x0F, 3, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 3, 4, 0xFF, 0xFF, 0xFF, 0xFF})));

    request.run();
    EXPECT_TRUE(instance->isWindowSizeKnown());
    EXPECT_EQ(instance->getWindowX(), 1);
    EXPECT_EQ(instance->getWindowY(), 2);
    EXPECT_EQ(instance->getWindowWidth(), 0x0304);
    EXPECT_EQ(instance->getWindowHeight(), -1);
    EXPECT_EQ(instance->getWindow(), nullptr); // nothing is opened or moved
    EXPECT_TRUE(handler->asyncBytes.empty());
}

TEST_F(PluginHostRequests, EveryRequestTypeReadsBackAsWritten) {
    struct Case {
        SmartPtr<PluginHostRequest> request;
        size_t size;
    };
    PluginHostProxyHandler* h = handler.get();
    const Case cases[] = {
        {new CreatePluginInstanceRequest(h, 7, "/p/x.so", "dev", "pre.fxp", true),
         1 + 4 + 4 + 11 + 7 + 11 + 1},
        {new DestroyPluginInstanceRequest(h, 7), 1 + 4},
        {new OpenGUIRequest(h, 7, 0x1122334455667788LL, true, "Title"), 1 + 4 + 8 + 1 + 9},
        {new CloseGUIRequest(h, 7), 1 + 4},
        {new UpdateIORequest(h, 7), 1 + 4 + 4},
        {new LoadPresetRequest(h, 7, "a.fxp"), 1 + 4 + 4 + 9},
        {new SavePresetRequest(h, 7, "b.fxp"), 1 + 4 + 4 + 9},
        {new SetCurrentProgramRequest(h, 7, 12), 1 + 4 + 4},
        {new ShowAllGUIsRequest(h), 1},
        {new HideAllGUIsRequest(h), 1},
        {new ActivateAppGUIRequest(h), 1},
        {new DeactivateAppGUIRequest(h), 1},
        {new ShutdownRequest(h), 1},
        {new PingRequest(h), 1},
        {new SetWindowTitleRequest(h, 7, String(u"T\u00EFtle")), 1 + 4 + 4 + 10}, // UTF-16 on the wire
        {new SetWindowPositionRequest(h, 7, -10, 20, 640, 480), 1 + 4 + 16},
    };
    int expectedType = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(expectedType);
        ASSERT_EQ(c.request->getRequestType(), expectedType++);
        c.request->setRequestId(9);
        const std::string data = frame(*c.request);
        EXPECT_EQ(data.size(), c.size);

        auto in = reading(data);
        const SmartPtr<PluginHostRequest> read = readRequest(in.get(), handler.get());
        EXPECT_EQ(in->numBytesAvailable(), 0u);
        EXPECT_EQ(read->getRequestType(), c.request->getRequestType());
        EXPECT_EQ(read->getHandler(), handler.get());
        const bool carriesId = c.request->hasReply() && c.request->isAsync();
        EXPECT_EQ(read->getRequestId(), carriesId ? 9 : -1);
        EXPECT_EQ(read->isForPluginInstance(7), c.request->isForPluginInstance(7));
        EXPECT_EQ(hex(frame(*read)), hex(data));
    }
}

TEST_F(PluginHostRequests, ARequestFromTheReaderHasNoInstanceIdUntilItsBodyIsRead) {
    EXPECT_EQ(UpdateIORequest(handler.get()).getInstanceId(), -7);
    EXPECT_EQ(UpdateIORequest(handler.get()).getRequestId(), -1);
}

TEST_F(PluginHostRequests, AnUnknownTypeFailsTheReader) {
    for (const int type : {16, 255}) {
        const std::string data = bytes({type});
        auto in = reading(data);
        try {
            readRequest(in.get(), handler.get());
            FAIL() << "type " << type << " was accepted";
        } catch (const base::core::IOException& e) {
            EXPECT_EQ(e.getMessage().getStdString(), "Unknown request type " + std::to_string(type));
        }
    }
}

TEST_F(PluginHostRequests, ATruncatedBodyFailsTheReader) {
    const std::string data = bytes({0x05, 5, 0, 0, 0, 1, 0});
    auto in = reading(data);
    EXPECT_THROW(readRequest(in.get(), handler.get()), base::core::IOException);
}

TEST_F(PluginHostRequests, AnUnknownInstanceIsLoggedOnceAndAnsweredWhereAnAnswerIsAwaited) {
    createInstance(1);
    UpdateIORequest request(handler.get(), 42);
    request.setRequestId(4);
    testing::internal::CaptureStderr();
    request.run();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "No plugin instance found with id 42\n");
    auto in = reading(handler->asyncBytes);
    EXPECT_EQ(in->readInt32Native(), 4);
    EXPECT_FALSE(in->readBool());
    EXPECT_EQ(in->readBinaryString(), "No plugin instance found with id 42");
    EXPECT_TRUE(handler->mainBytes.empty());
}

TEST_F(PluginHostRequests, UpdateIOAnswersTheInstanceAsItIsNow) {
    TestPluginInstance* instance = createInstance(2);
    instance->addInputBus("In", 0, 2);
    instance->addOutputBus("Out", 0, 3);
    instance->latency = 64;
    instance->addParameter("Gain", 0.25f);
    UpdateIORequest request(handler.get(), 2);
    request.setRequestId(11);
    request.run();

    auto in = reading(handler->asyncBytes);
    EXPECT_EQ(in->readInt32Native(), 11);
    EXPECT_TRUE(in->readBool());
    const SmartPtr<PluginHostReply> reply = request.readReply(in.get());
    EXPECT_EQ(in->numBytesAvailable(), 0u);
    ASSERT_EQ(reply->getReplyType(), PluginHostReply::DEFINE_IO);
    auto* defineIo = static_cast<DefineIoReply*>(reply.get());
    EXPECT_EQ(defineIo->getInstanceId(), 2);
    EXPECT_EQ(defineIo->getAudioInChannelCount(), 2);
    EXPECT_EQ(defineIo->getAudioOutChannelCount(), 3);
    EXPECT_EQ(defineIo->getLatency(), 64);
    ASSERT_EQ(defineIo->getState()->getParameters().size(), 1u);
    EXPECT_EQ(defineIo->getState()->getParameters()[0]->getName(), "Gain");
}

TEST_F(PluginHostRequests, CreatePluginInstanceSetsUpRegistersAndAnswers) {
    api.configure = [](TestPluginInstance& instance) {
        instance.addInputBus("In", 0, 2);
        instance.addOutputBus("Out", 0, 2);
        instance.addParameter("Cutoff", 0.5f, "1000", "Hz");
    };
    CreatePluginInstanceRequest request(handler.get(), 4, "/plugins/synth.so", "1234", "/presets/init.fxp",
                                        true);
    request.setRequestId(6);
    request.run();

    auto* instance = static_cast<TestPluginInstance*>(host->getPluginInstance(4));
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(instance->openCount, 1);
    EXPECT_TRUE(instance->getCreationFlag());
    EXPECT_EQ(instance->prepareCount, 1);
    EXPECT_TRUE(instance->settingUpWhilePreparing);
    ASSERT_EQ(instance->loadedPresets.size(), 1u);
    EXPECT_EQ(instance->loadedPresets[0], "/presets/init.fxp");
    ASSERT_EQ(handler->initializedInstances.size(), 1u);
    EXPECT_EQ(handler->initializedInstances[0], instance);
    EXPECT_TRUE(handler->initializedWhileSettingUp);
    EXPECT_EQ(instance->getProxyHandler(), handler.get());
    EXPECT_FALSE(instance->isSettingUp());

    auto in = reading(handler->asyncBytes);
    EXPECT_EQ(in->readInt32Native(), 6);
    EXPECT_TRUE(in->readBool());
    const SmartPtr<PluginHostReply> reply = request.readReply(in.get());
    EXPECT_EQ(in->numBytesAvailable(), 0u);
    ASSERT_EQ(reply->getReplyType(), PluginHostReply::CREATE_PLUGIN_INSTANCE);
    auto* created = static_cast<CreatePluginInstanceReply*>(reply.get());
    EXPECT_EQ(created->getInstanceId(), 4);
    EXPECT_EQ(created->getAudioInChannelCount(), 2);
    EXPECT_EQ(created->getAudioOutChannelCount(), 2);
    EXPECT_TRUE(created->hasGUI());
    ASSERT_EQ(created->getState()->getParameters().size(), 1u);
    EXPECT_EQ(created->getState()->getParameters()[0]->getUnit(), "Hz");
}

TEST_F(PluginHostRequests, CreatePluginInstanceWithoutPresetLoadsNone) {
    CreatePluginInstanceRequest request(handler.get(), 4, "/plugins/synth.so", "", "", false);
    request.run();
    auto* instance = static_cast<TestPluginInstance*>(host->getPluginInstance(4));
    ASSERT_NE(instance, nullptr);
    EXPECT_TRUE(instance->loadedPresets.empty());
}

TEST_F(PluginHostRequests, CreatePluginInstanceFailuresAnswerTheirMessage) {
    CreatePluginInstanceRequest missing(handler.get(), 4, "/plugins/missing.so");
    missing.setRequestId(1);
    missing.run();
    EXPECT_EQ(hex(handler->asyncBytes), hex(asyncError(1, "Couldn't load VST plug-in: /plugins/missing.so")));
    EXPECT_EQ(host->getPluginInstance(4), nullptr);
    EXPECT_TRUE(handler->initializedInstances.empty());

    handler->clear();
    api.configure = [](TestPluginInstance& instance) { instance.loadPresetError = "No such preset"; };
    CreatePluginInstanceRequest badPreset(handler.get(), 5, "/plugins/synth.so", "", "/presets/gone.fxp");
    badPreset.setRequestId(2);
    badPreset.run();
    EXPECT_EQ(hex(handler->asyncBytes), hex(asyncError(2, "No such preset")));
    // The instance stays registered, but was never handed to the handler.
    auto* instance = static_cast<TestPluginInstance*>(host->getPluginInstance(5));
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(instance->getProxyHandler(), nullptr);
    EXPECT_TRUE(handler->initializedInstances.empty());
}

// A client's request carries no handler: running it is a programming error, not host work.
TEST_F(PluginHostRequests, RunningARequestWithoutAHandlerIsAnAssertion) {
    base::core::pushAssertionInteractionMode(base::core::NonInteractiveAssertions);
    PingRequest request(nullptr);
    try {
        request.run();
        ADD_FAILURE() << "no assertion";
    } catch (const base::core::AssertionFailedException& e) {
        const std::string message = e.getMessage().getStdString();
        EXPECT_NE(message.find("A request runs on the host, whose handler it carries"), std::string::npos)
            << message;
    }
    base::core::popAssertionInteractionMode();
}

TEST_F(PluginHostRequests, SavePresetCreatesTheDirectoriesAboveThePath) {
    char pattern[] = "/tmp/pluginhost-preset-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::filesystem::path root(pattern);
    const std::string path = (root / "a" / "b" / "preset.fxp").string();
    TestPluginInstance* instance = createInstance(1);

    SavePresetRequest request(handler.get(), 1, path);
    request.setRequestId(8);
    request.run();
    EXPECT_TRUE(std::filesystem::is_directory(root / "a" / "b"));
    ASSERT_EQ(instance->savedPresets.size(), 1u);
    EXPECT_EQ(instance->savedPresets[0], String(path));
    EXPECT_EQ(hex(handler->asyncBytes), hex(bytes({8, 0, 0, 0, 1})));

    // A file where a directory must go fails before the plug-in is asked.
    handler->clear();
    std::filesystem::create_directories(root / "c");
    {
        std::FILE* blocker = std::fopen((root / "c" / "file").c_str(), "w");
        ASSERT_NE(blocker, nullptr);
        std::fclose(blocker);
    }
    SavePresetRequest blocked(handler.get(), 1, (root / "c" / "file" / "preset.fxp").string());
    blocked.setRequestId(9);
    blocked.run();
    EXPECT_EQ(instance->savedPresets.size(), 1u);
    auto in = reading(handler->asyncBytes);
    EXPECT_EQ(in->readInt32Native(), 9);
    EXPECT_FALSE(in->readBool());
    EXPECT_FALSE(in->readBinaryString().isEmpty());

    // So does the plug-in's own failure.
    handler->clear();
    instance->savePresetError = "Disk full";
    SavePresetRequest failing(handler.get(), 1, path);
    failing.setRequestId(10);
    failing.run();
    EXPECT_EQ(hex(handler->asyncBytes), hex(asyncError(10, "Disk full")));

    std::filesystem::remove_all(root);
}

TEST_F(PluginHostRequests, InstanceRequestsReachTheirInstance) {
    TestPluginInstance* instance = createInstance(1);
    TestPluginInstance* other = createInstance(2);

    OpenGUIRequest(handler.get(), 1, 0x5000001, true, "Editor").run();
    ASSERT_EQ(instance->openGUICalls.size(), 1u);
    EXPECT_EQ(instance->openGUICalls[0].parent, reinterpret_cast<void*>(0x5000001));
    EXPECT_TRUE(instance->openGUICalls[0].flag);
    EXPECT_EQ(instance->openGUICalls[0].title, "Editor");
    ASSERT_NE(instance->getTestWindow(), nullptr);

    SetWindowTitleRequest(handler.get(), 1, "Renamed").run();
    EXPECT_EQ(instance->getTestWindow()->title, "Renamed");

    SetCurrentProgramRequest(handler.get(), 1, 5).run();
    ASSERT_EQ(instance->setCurrentProgramCalls.size(), 1u);
    EXPECT_EQ(instance->setCurrentProgramCalls[0], std::make_pair(5, 0));

    // Closing deletes the window, which tells the client.
    CloseGUIRequest(handler.get(), 1).run();
    EXPECT_EQ(instance->closeGUICount, 1);
    EXPECT_EQ(instance->getWindow(), nullptr);
    EXPECT_EQ(hex(handler->asyncBytes), hex(bytes({0, 0, 0, 0, 4, 1, 0, 0, 0})));

    EXPECT_TRUE(other->openGUICalls.empty());
    EXPECT_TRUE(other->setCurrentProgramCalls.empty());

    SmartPtr<TestPluginInstance> keep = other;
    DestroyPluginInstanceRequest(handler.get(), 2).run();
    EXPECT_EQ(other->destroyCount, 1);
    EXPECT_EQ(host->getPluginInstance(2), nullptr);
    EXPECT_EQ(host->getPluginInstance(1), instance);
    EXPECT_TRUE(handler->mainBytes.empty());
}

TEST_F(PluginHostRequests, HideAndShowAllGUIsTouchOnlyOpenWindows) {
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
    for (TestPluginInstance* instance : {first, second}) {
        EXPECT_FALSE(instance->isHidden());
        EXPECT_EQ(instance->getTestWindow()->showCount, 1);
        EXPECT_TRUE(instance->getTestWindow()->suppressedWhileShown);
        EXPECT_FALSE(instance->areWindowNotificationsSuppressed());
    }
    EXPECT_TRUE(handler->asyncBytes.empty());
}

TEST_F(PluginHostRequests, ActivateAppGUIRaisesEveryOpenWindow) {
    TestPluginInstance* first = createInstance(1);
    TestPluginInstance* second = createInstance(2);
    first->openGUI(nullptr, false, "1");
    second->openGUI(nullptr, false, "2");
    ActivateAppGUIRequest(handler.get()).run();
    EXPECT_EQ(first->getTestWindow()->activateCount, 1);
    EXPECT_EQ(second->getTestWindow()->activateCount, 1);
}

TEST_F(PluginHostRequests, AReadShutdownRequestShutsItsHandlerDown) {
    const std::string data = bytes({0x0C});
    auto in = reading(data);
    const SmartPtr<PluginHostRequest> request = readRequest(in.get(), handler.get());
    request->run();
    EXPECT_EQ(handler->shutdownCount, 1);
    EXPECT_TRUE(handler->asyncBytes.empty());
    EXPECT_TRUE(handler->mainBytes.empty());
}

} // namespace
