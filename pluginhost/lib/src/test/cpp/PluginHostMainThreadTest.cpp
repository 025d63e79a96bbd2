#include "HeapAudioContext.h"
#include "ProtocolTestSupport.h"
#include "RecordingProxyHandler.h"
#include "TestPluginApi.h"

#include "base/core/IOException.h"
#include "linux/MainLoop.h"
#include "plugin/PluginException.h"
#include "plugin/PluginHostNotificationQueue.h"
#include "plugin/PluginHostRequests.h"
#include "plugin/PluginInstanceDescription.h"
#include "plugin/PluginInstanceState.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <thread>

using namespace plugin;
using namespace plugin::test;
using base::core::SmartPtr;
using base::core::String;

namespace {

// Reads every notification on the async channel back, as the client would.
std::vector<SmartPtr<PluginHostNotification>> readNotifications(const std::string& bytes) {
    std::vector<SmartPtr<PluginHostNotification>> result;
    auto in = reading(bytes);
    while (in->numBytesAvailable() > 0) {
        EXPECT_EQ(in->readInt32Native(), 0) << "an answer where only notifications were expected";
        result.push_back(readPluginHostNotification(nullptr, in.get()));
    }
    return result;
}

// What runs on the host's main thread, where a host process cannot show it: how requests set instances up
// and answer failures of any kind, and what an instance tells the client of its parameters and windows.
// The messages' bytes are ProtocolWire's; what a client sees end to end is the host-process tests'.
struct HostWithInstance : ::testing::Test {
    HostWithInstance() {
        api.configure = [](TestPluginInstance& instance) {
            instance.addParameter("Gain", 0.5f, "0 dB");
            instance.addParameter("Mix", 0.25f, "25 %");
            instance.addParameter("Off", 0.0f, "off");
        };
        instance = static_cast<TestPluginInstance*>(host.createPluginInstance(1, "/x/plug.so", "", false));
        context = new HeapAudioContext(64, 2, 2, instance->getParameterCount(), true);
        context->init();
        context->clearAndWriteGuards();
        instance->setAudioContext(context.get());
        instance->setProxyHandler(handler.get());
        // The client watches the first two parameters only.
        context->parameterFlag(0).store(PluginAudioContext::PARAMETER_WATCHED);
        context->parameterFlag(1).store(PluginAudioContext::PARAMETER_WATCHED);
    }

    TestPluginApi api;
    // On the heap: the handler holds a reference to it.
    SmartPtr<PluginHost> hostReference{new PluginHost(44100, 64)};
    PluginHost& host = *hostReference;
    SmartPtr<RecordingProxyHandler> handler{new RecordingProxyHandler(&host)};
    TestPluginInstance* instance;
    SmartPtr<HeapAudioContext> context;

    // Runs `request` with the given id and returns the answer it wrote on the async channel.
    template <typename Request> std::string asyncAnswer(Request&& request, int requestId) {
        handler->clear();
        request.setRequestId(requestId);
        request.run();
        return handler->asyncBytes;
    }
};

} // namespace

TEST_F(HostWithInstance, FailuresOfAnyKindAndUnknownInstancesAreAnsweredWithTheirMessage) {
    const std::pair<std::function<void()>, const char*> failures[] = {
        {[] { throw base::core::IOException("Bad preset"); }, "Bad preset"},
        {[] { throw PluginException("Bad preset"); }, "Bad preset"},
        {[] { throw std::runtime_error("Bad preset"); }, "Unexpected error: Bad preset"},
        {[] { throw 42; }, "Unexpected error of unknown kind"},
    };
    for (const auto& [failure, answer] : failures) {
        instance->presetFailure = failure;
        EXPECT_EQ(asyncAnswer(LoadPresetRequest(handler.get(), 1, "abc"), 2), asyncError(2, answer));
        EXPECT_EQ(asyncAnswer(SavePresetRequest(handler.get(), 1, "/tmp/not-written.fxp"), 3),
                  asyncError(3, answer));
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(asyncAnswer(UpdateIORequest(handler.get(), 42), 4),
              asyncError(4, "No plugin instance found with id 42"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "No plugin instance found with id 42\n");
}

TEST_F(HostWithInstance, CreatePluginInstanceSetsUpBeforeItHandsTheInstanceOverAndAnswersFailures) {
    asyncAnswer(CreatePluginInstanceRequest(handler.get(), 4, "/p/synth.so", "1234", "/p/init.fxp", true), 6);
    auto* created = static_cast<TestPluginInstance*>(host.getPluginInstance(4));
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(handler->asyncBytes.substr(0, 5), bytes({6, 0, 0, 0, 1}));
    EXPECT_EQ(created->openCount, 1);
    EXPECT_TRUE(created->getCreationFlag());
    EXPECT_TRUE(created->settingUpWhilePreparing);
    EXPECT_EQ(created->loadedPresets, std::vector<String>{"/p/init.fxp"});
    EXPECT_EQ(handler->initializedInstances, std::vector<PluginInstance*>{created});
    EXPECT_TRUE(handler->initializedWhileSettingUp);
    EXPECT_EQ(created->getProxyHandler(), handler.get());
    EXPECT_FALSE(created->isSettingUp());

    // A preset that fails: answered with its message.
    api.configure = [](TestPluginInstance& made) {
        made.presetFailure = [] { throw base::core::IOException("No such preset"); };
    };
    EXPECT_EQ(asyncAnswer(CreatePluginInstanceRequest(handler.get(), 5, "/p/other.so", "", "/p/gone.fxp"), 2),
              asyncError(2, "No such preset"));
    // The instance stays registered, but was never handed to the handler.
    ASSERT_NE(host.getPluginInstance(5), nullptr);
    EXPECT_EQ(host.getPluginInstance(5)->getProxyHandler(), nullptr);
    EXPECT_EQ(handler->initializedInstances.size(), 1u);
}

TEST_F(HostWithInstance,
       AppWideGUIRequestsTouchOnlyOpenWindowsOnceAndOnSizeReportsTheKnownPositionUnlessSuppressed) {
    auto* open = static_cast<TestPluginInstance*>(host.createPluginInstance(2, "/x/plug.so", "", false));
    open->openGUI(nullptr, false, "1");
    for (int twice = 0; twice < 2; ++twice)
        HideAllGUIsRequest(handler.get()).run();
    EXPECT_FALSE(instance->isHidden()); // no window
    EXPECT_TRUE(open->isHidden());
    EXPECT_EQ(open->getTestWindow()->hideCount, 1);
    for (int twice = 0; twice < 2; ++twice)
        ShowAllGUIsRequest(handler.get()).run();
    ActivateAppGUIRequest(handler.get()).run();
    EXPECT_FALSE(open->isHidden());
    EXPECT_EQ(open->getTestWindow()->showCount, 1);
    // Showing moves the window; that is not a move to report.
    EXPECT_TRUE(open->getTestWindow()->suppressedWhileShown);
    EXPECT_FALSE(open->areWindowNotificationsSuppressed());
    EXPECT_EQ(open->getTestWindow()->activateCount, 1);

    // Moves are the window's to report; a new size is the instance's, with the position it knows.
    handler->clear();
    instance->setWindowNotificationsSuppressed(true);
    instance->onSize(1, 2, 300, 200);
    EXPECT_FALSE(instance->isWindowSizeKnown());
    EXPECT_TRUE(handler->asyncBytes.empty());
    instance->setWindowNotificationsSuppressed(false);
    instance->setWindowPosition(10, 20);
    instance->onSize(1, 2, 300, 200);
    EXPECT_TRUE(instance->isWindowSizeKnown());
    const SmartPtr<PluginWindowMovedNotification> moved =
        new PluginWindowMovedNotification(handler.get(), instance, 10, 20, 300, 200);
    EXPECT_EQ(handler->asyncBytes, bytes({0, 0, 0, 0}) + written([&](auto* out) { moved->write(out); }));
}

// The request handler answers with the message (the failures test): these name the path.
TEST_F(HostWithInstance, ModulesAreLoadedOnceAndFailuresNameThePath) {
    host.createPluginInstance(2, "/x/plug.so", "", false);
    EXPECT_EQ(api.loadCount, 1);
    const std::pair<const char*, const char*> failures[] = {
        {"/x/missing.so", "Couldn't load VST plug-in: /x/missing.so"},
        {"/x/empty.so", "Couldn't instantiate VST plug-in: /x/empty.so"}};
    for (const auto& [path, message] : failures) {
        try {
            host.createPluginInstance(3, path, "", false);
            ADD_FAILURE() << path << " made an instance";
        } catch (const PluginException& e) {
            EXPECT_EQ(e.getMessage(), message);
        }
    }
    // Only VST 3 is tried for a path ending in "vst3", and no VST 3 format is installed here.
    EXPECT_THROW(host.createPluginInstance(3, "/x/plug.vst3", "", false), PluginException);
    EXPECT_EQ(api.loadCount, 3);
    EXPECT_EQ(host.getPluginInstance(3), nullptr);
}

TEST_F(HostWithInstance, WatchedChangesProduceOneDisplayUpdatePerTickInLatin1UnlessUtf8) {
    instance->parameters[0].display = "\xE9t\xE9";
    instance->setParameterNormalizedValue(0, 0.1f);
    instance->setParameterNormalizedValue(0, 0.2f);
    instance->setParameterNormalizedValue(2, 0.3f); // not watched
    handler->clear();
    instance->idle();
    auto notifications = readNotifications(handler->asyncBytes);
    ASSERT_EQ(notifications.size(), 1u);
    auto* display = dynamic_cast<UpdateParameterDisplayNotification*>(notifications[0].get());
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(display->getDisplay(), "\u00e9t\u00e9");
    handler->clear();
    instance->idle();
    EXPECT_TRUE(handler->asyncBytes.empty());
}

// What the plug-in raises reaches the client in order (the host-process tests show it); not while it is
// being set up.
TEST_F(HostWithInstance, PluginChangesAndGesturesAreSilentWhileSettingUp) {
    handler->clear();
    instance->setSettingUp(true);
    instance->pluginChangedNormalizedValue(0, 0.75f);
    instance->pluginBeginEditParameter(0);
    instance->pluginEndEditParameter(0);
    instance->refreshAllParameters();
    EXPECT_TRUE(handler->asyncBytes.empty());
    EXPECT_FALSE(instance->isRefreshRequested());
    instance->setSettingUp(false);

    instance->pluginChangedNormalizedValue(1, 0.75f);
    EXPECT_EQ(readNotifications(handler->asyncBytes).size(), 1u);
}

TEST_F(HostWithInstance, ChangesFromAnotherThreadReachTheMainThreadInOrderAndABurstIsBounded) {
    handler->clear();
    constexpr int QUEUED = static_cast<int>(PluginHostNotificationQueue::CAPACITY), DROPPED = 10;
    std::thread audio([&] {
        PluginHostNotificationQueue::BlockScope block;
        instance->pluginBeginEditParameter(0);
        for (int i = 0; i < QUEUED - 2 + DROPPED; ++i) {
            // An unwatched parameter: the idle tick adds no display update of its own.
            instance->pluginChangedNormalizedValue(2, 0.5f);
            if (i == QUEUED - 3)
                instance->refreshAllParameters(); // the last record that fits
        }
    });
    audio.join();
    EXPECT_TRUE(handler->asyncBytes.empty()) << "written from a foreign thread";
    testing::internal::CaptureStderr();
    host.getMainLoop().addTimer(0.01, [&] { host.shutdown(); });
    host.getMainLoop().run();
    EXPECT_EQ(
        testing::internal::GetCapturedStderr(),
        "Dropped 10 plug-in parameter notifications: more came in one main-loop turn than the queue holds\n");
    const auto notifications = readNotifications(handler->asyncBytes);
    ASSERT_EQ(notifications.size(), static_cast<size_t>(QUEUED));
    EXPECT_EQ(notifications.front()->getNotificationType(),
              PluginHostNotification::BEGIN_OR_END_EDIT_PARAMETER);
    EXPECT_EQ(notifications[1]->getNotificationType(), PluginHostNotification::UPDATE_PARAMETER);
    EXPECT_EQ(notifications.back()->getNotificationType(), PluginHostNotification::UPDATE_ALL_PARAMETERS);
}

TEST_F(HostWithInstance, UpdateAllParametersDescribesTheInstanceWhenItRunsAndOnlyALiveOneIsSent) {
    handler->clear();
    const SmartPtr<UpdateAllParametersNotification> all =
        new UpdateAllParametersNotification(handler.get(), instance);
    instance->addParameter("Added later", 1.0f);
    all->run();
    const auto described = readNotifications(handler->asyncBytes);
    ASSERT_EQ(described.size(), 1u);
    const PluginInstanceState* state =
        static_cast<UpdateAllParametersNotification*>(described[0].get())->getState();
    ASSERT_EQ(state->getParameters().size(), 4u);
    EXPECT_EQ(state->getParameters()[3]->getName(), "Added later");

    handler->clear();
    // Posted before their instance was destroyed.
    const SmartPtr<PluginHostNotification> late[] = {
        new UpdateParameterNotification(handler.get(), instance, 1, 1.0f),
        new UpdateParameterDisplayNotification(handler.get(), instance, 1, "Gain", "0 dB"), all};
    const SmartPtr<TestPluginInstance> kept = instance;
    host.destroyPluginInstance(instance);
    for (const auto& notification : late)
        notification->run();
    EXPECT_TRUE(handler->asyncBytes.empty());
}

// The parameters' texts, ranges and the programs are read back through print, which `plugin-host test`
// shows. Buses, key names and latency travel in ProtocolWire.
TEST_F(HostWithInstance, TheDescriptionHasEverythingTheInstanceReportsAskedWhileSettingUp) {
    const SmartPtr<TestPluginInstance> made = new TestPluginInstance(&host, 1);
    TestPluginInstance::Parameter& bypass = made->addParameter("Bypass", 1.0f, "On \xC3\xA9");
    bypass.info.isBoolean = true;
    bypass.info.shortName = "Byp";
    bypass.info.category = "Main";
    bypass.info.index = 17;
    TestPluginInstance::Parameter& mode = made->addParameter("Mode", 0.5f, "\xE9", "st");
    mode.info.automatable = false;
    mode.info.isInteger = true;
    mode.info.minValue = -2;
    mode.info.maxValue = 4;
    made->programs = {"Init", "Lead"};
    made->mpe = true;
    made->noteOutput = true;

    const SmartPtr<PluginInstanceState> state = describePluginInstance(made.get());
    EXPECT_TRUE(made->settingUpDuringQueries);
    EXPECT_FALSE(made->isSettingUp());
    EXPECT_EQ(written([&](base::core::OutputStream* out) { state->print(out); }),
              "Name: Bypass\nShort Name: Byp\nUnit: \nValue: 1.0\nCategory: Main\nIs boolean\n"
              "Name: Mode\nShort Name: \nUnit: st\nValue: 0.5\nCategory: \n"
              "Is integer with range: -2 ... 4\n"
              "\nPrograms:\nInit\nLead\n");
    // Plug-ins' texts are UTF-8 or else Latin-1.
    EXPECT_EQ(state->getParameters()[0]->getDisplay(), String(u"On \u00E9"));
    EXPECT_EQ(state->getParameters()[1]->getDisplay(), String(u"\u00E9"));
    EXPECT_EQ(state->getParameters()[0]->getIndex(), 17);
    EXPECT_TRUE(state->getParameters()[0]->isAutomatable());
    EXPECT_FALSE(state->getParameters()[1]->isAutomatable());
    EXPECT_TRUE(state->supportsMPE());
    EXPECT_FALSE(state->supportsNoteExpressions());
    EXPECT_TRUE(state->hasNoteOutput());
}
