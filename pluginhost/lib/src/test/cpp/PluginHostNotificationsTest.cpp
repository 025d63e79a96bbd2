#include "ProtocolTestSupport.h"
#include "RecordingProxyHandler.h"
#include "TestPluginApi.h"

#include "base/core/Assertion.h"
#include "base/core/AssertionFailedException.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginHostNotificationListener.h"
#include "plugin/PluginHostNotifications.h"

#include <gtest/gtest.h>

using namespace plugin;
using namespace plugin::test;
using base::core::SmartPtr;
using base::core::String;

namespace {

// Records which operation each notification reached.
class RecordingListener : public PluginHostNotificationListener {
public:
    void onUpdateAllParameters(UpdateAllParametersNotification*) override {
        calls.push_back("all parameters");
    }
    void onUpdateParameter(UpdateParameterNotification*) override { calls.push_back("parameter"); }
    void onUpdateParameterDisplay(UpdateParameterDisplayNotification*) override {
        calls.push_back("display");
    }
    void onBeginOrEndEditParameter(BeginOrEndEditParameterNotification*) override { calls.push_back("edit"); }
    void onPluginWindowMoved(PluginWindowMovedNotification*) override { calls.push_back("moved"); }
    void onPluginWindowClosed(PluginWindowClosedNotification*) override { calls.push_back("closed"); }

    std::vector<std::string> calls;
};

class PluginHostNotifications : public ::testing::Test {
protected:
    TestPluginApi api;
    SmartPtr<PluginHost> host = new PluginHost(44100, 256);
    SmartPtr<RecordingProxyHandler> handler = new RecordingProxyHandler(host.get());
    // Registered: host-side notifications only speak of live instances.
    SmartPtr<TestPluginInstance> instance =
        static_cast<TestPluginInstance*>(host->createPluginInstance(1, "/t/plug.so", "", false));
};

// Each kind reaches its own listener operation; the bytes are ProtocolWire's.
TEST_F(PluginHostNotifications, EveryKindReachesItsListenerOperation) {
    const SmartPtr<PluginHostNotification> notifications[] = {
        new UpdateParameterNotification(handler.get(), instance.get(), 7, 0.125f),
        new UpdateParameterDisplayNotification(handler.get(), instance.get(), 8, "Gain", "0 dB"),
        new UpdateAllParametersNotification(handler.get(), instance.get()),
        new BeginOrEndEditParameterNotification(handler.get(), instance.get(), 9, true),
        new PluginWindowClosedNotification(handler.get(), instance.get()),
        new PluginWindowMovedNotification(handler.get(), instance.get(), 10, 20, 640, 480),
    };
    const SmartPtr<RecordingListener> listener = new RecordingListener();
    for (const auto& notification : notifications)
        notification->notify(listener.get());
    EXPECT_EQ(listener->calls, (std::vector<std::string>{"parameter", "display", "all parameters", "edit",
                                                         "closed", "moved"}));
}

TEST_F(PluginHostNotifications, UpdateAllParametersDescribesTheInstanceWhenItRuns) {
    const SmartPtr<UpdateAllParametersNotification> notification =
        new UpdateAllParametersNotification(handler.get(), instance.get());
    instance->addParameter("Added later", 1.0f);
    notification->run();
    auto in = reading(handler->asyncBytes);
    EXPECT_EQ(in->readInt32Native(), 0);
    const SmartPtr<PluginHostNotification> read = readPluginHostNotification(nullptr, in.get());
    const PluginInstanceState* state = static_cast<UpdateAllParametersNotification*>(read.get())->getState();
    ASSERT_EQ(state->getParameters().size(), 1u);
    EXPECT_EQ(state->getParameters()[0]->getName(), "Added later");
    EXPECT_FALSE(instance->isSettingUp());
}

TEST_F(PluginHostNotifications, OnlyNotificationsOfALiveInstanceAreSent) {
    // Read on the client side, a parameter notification knows no instance.
    const std::string data = bytes({0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0x80, 0x3F});
    auto in = reading(data);
    const SmartPtr<PluginHostNotification> read = readPluginHostNotification(handler.get(), in.get());
    EXPECT_EQ(read->getHandler(), handler.get());
    read->run();
    // Posted before their instance was destroyed.
    const SmartPtr<PluginHostNotification> late[] = {
        new UpdateParameterNotification(handler.get(), instance.get(), 1, 1.0f),
        new UpdateParameterDisplayNotification(handler.get(), instance.get(), 1, "Gain", "0 dB"),
        new UpdateAllParametersNotification(handler.get(), instance.get())};
    host->destroyPluginInstance(instance.get());
    for (const auto& notification : late)
        notification->run();
    EXPECT_TRUE(handler->asyncBytes.empty());
}

TEST_F(PluginHostNotifications, AnUnknownTypeIsAnIllegalStateThatReadsNothingMoreWhenIgnored) {
    const std::string data = bytes({6, 1, 0, 0, 0});
    base::core::pushAssertionInteractionMode(base::core::NonInteractiveAssertions);
    auto in = reading(data);
    try {
        readPluginHostNotification(nullptr, in.get());
        ADD_FAILURE() << "no assertion";
    } catch (const base::core::AssertionFailedException& e) {
        const std::string message = e.getMessage().getStdString();
        // The source and line it has always reported, which earlier reports are matched by.
        for (const char* part : {"Illegal state: Unknown notification type",
                                 "File: pluginhost/lib/src/main/cpp/PluginHostReplies", "Line: 444"})
            EXPECT_NE(message.find(part), std::string::npos) << message;
    }
    base::core::popAssertionInteractionMode();

    base::core::pushAssertionInteractionMode(base::core::InteractiveAssertions);
    // The developer chooses "Skip" in the dialog.
    base::core::setInteractiveAssertionHandler([](const String&, bool&) {});
    in = reading(data);
    testing::internal::CaptureStderr();
    const SmartPtr<PluginHostNotification> read = readPluginHostNotification(nullptr, in.get());
    const std::string reported = testing::internal::GetCapturedStderr();
    base::core::setInteractiveAssertionHandler(nullptr);
    base::core::popAssertionInteractionMode();
    EXPECT_TRUE(read.isNull());
    EXPECT_EQ(in->numBytesAvailable(), 4u);
    EXPECT_NE(reported.find("Unknown notification type"), std::string::npos);
}

} // namespace
