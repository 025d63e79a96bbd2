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

    // Sends the notification as the host does and reads it back as the client does.
    SmartPtr<PluginHostNotification> sendAndReadBack(PluginHostNotification* notification) {
        handler->clear();
        notification->run();
        auto in = reading(handler->asyncBytes);
        EXPECT_EQ(in->readInt32Native(), 0);
        SmartPtr<PluginHostNotification> read = readPluginHostNotification(nullptr, in.get());
        EXPECT_EQ(in->numBytesAvailable(), 0u);
        if (read) {
            EXPECT_EQ(read->getNotificationType(), notification->getNotificationType());
            EXPECT_EQ(read->getInstanceId(), notification->getInstanceId());
            EXPECT_EQ(read->getInstance(), nullptr);
            EXPECT_EQ(hex(written([&](base::core::OutputStream* out) { read->write(out); })),
                      hex(handler->asyncBytes.substr(4)));
        }
        return read;
    }
};

TEST_F(PluginHostNotifications, WindowClosedIsTheZeroIdTheTypeAndTheInstance) {
    const SmartPtr<TestPluginInstance> second = new TestPluginInstance(host.get(), 2);
    SmartPtr<PluginHostNotification>(new PluginWindowClosedNotification(handler.get(), second.get()))->run();
    EXPECT_EQ(hex(handler->asyncBytes), hex(bytes({0, 0, 0, 0, 4, 2, 0, 0, 0})));
}

TEST_F(PluginHostNotifications, UpdateParameterCarriesIndexAndValueNatively) {
    SmartPtr<PluginHostNotification>(new UpdateParameterNotification(handler.get(), instance.get(), 3, 0.5f))
        ->run();
    EXPECT_EQ(hex(handler->asyncBytes), hex(bytes({0, 0, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0x3F})));
}

TEST_F(PluginHostNotifications, WindowMovedHasALittleEndianIdAndBigEndianCoordinates) {
    SmartPtr<PluginHostNotification>(
        new PluginWindowMovedNotification(handler.get(), instance.get(), 1, -2, 300, 0x0201))
        ->run();
    EXPECT_EQ(hex(handler->asyncBytes), hex(bytes({0,    0,    0,    0,    5, 1, 0, 0,    0, 0, 0, 0, 1,
                                                   0xFF, 0xFF, 0xFF, 0xFE, 0, 0, 1, 0x2C, 0, 0, 2, 1})));
}

TEST_F(PluginHostNotifications, EveryKindReadsBackAsWrittenAndReachesItsListenerOperation) {
    instance->addParameter("Gain", 0.5f);
    const SmartPtr<PluginHostNotification> notifications[] = {
        new UpdateParameterNotification(handler.get(), instance.get(), 7, 0.125f),
        new UpdateParameterDisplayNotification(handler.get(), instance.get(), 8, "Gain",
                                               String(u"\u221E dB")),
        new UpdateAllParametersNotification(handler.get(), instance.get()),
        new BeginOrEndEditParameterNotification(handler.get(), instance.get(), 9, true),
        new PluginWindowClosedNotification(handler.get(), instance.get()),
        new PluginWindowMovedNotification(handler.get(), instance.get(), 10, 20, 640, 480),
    };
    const SmartPtr<RecordingListener> listener = new RecordingListener();
    int expectedType = 0;
    for (const auto& notification : notifications) {
        SCOPED_TRACE(expectedType);
        ASSERT_EQ(notification->getNotificationType(), expectedType++);
        const SmartPtr<PluginHostNotification> read = sendAndReadBack(notification.get());
        ASSERT_TRUE(read);
        read->notify(listener.get());
    }
    EXPECT_EQ(listener->calls, (std::vector<std::string>{"parameter", "display", "all parameters", "edit",
                                                         "closed", "moved"}));
}

TEST_F(PluginHostNotifications, UpdateAllParametersDescribesTheInstanceWhenItRuns) {
    const SmartPtr<UpdateAllParametersNotification> notification =
        new UpdateAllParametersNotification(handler.get(), instance.get());
    instance->addParameter("Added later", 1.0f);
    const SmartPtr<PluginHostNotification> read = sendAndReadBack(notification.get());
    ASSERT_TRUE(read);
    const PluginInstanceState* state = static_cast<UpdateAllParametersNotification*>(read.get())->getState();
    ASSERT_EQ(state->getParameters().size(), 1u);
    EXPECT_EQ(state->getParameters()[0]->getName(), "Added later");
    EXPECT_FALSE(instance->isSettingUp());
}

TEST_F(PluginHostNotifications, ParameterNotificationsWithoutAnInstanceAreNotSent) {
    SmartPtr<PluginHostNotification>(new UpdateParameterNotification(handler.get(), instance.get(), 1, 1.0f))
        ->run();
    SmartPtr<PluginHostNotification>(
        new UpdateParameterDisplayNotification(handler.get(), instance.get(), 1, "Gain", "0 dB"))
        ->run();
    const std::string data = handler->asyncBytes;
    handler->clear();

    // Read back on the client side they know no instance; running them there sends nothing.
    auto in = reading(data);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(in->readInt32Native(), 0);
        const SmartPtr<PluginHostNotification> read = readPluginHostNotification(handler.get(), in.get());
        ASSERT_TRUE(read);
        EXPECT_EQ(read->getHandler(), handler.get());
        read->run();
    }
    EXPECT_TRUE(handler->asyncBytes.empty());
}

TEST_F(PluginHostNotifications, NotificationsOfADestroyedInstanceAreDropped) {
    SmartPtr<PluginHostNotification> late(new UpdateAllParametersNotification(handler.get(), instance.get()));
    host->destroyPluginInstance(instance.get());
    handler->clear();
    late->run();
    EXPECT_TRUE(handler->asyncBytes.empty());
}

TEST_F(PluginHostNotifications, AnUnknownTypeIsAnIllegalState) {
    const std::string data = bytes({6, 1, 0, 0, 0});
    base::core::pushAssertionInteractionMode(base::core::NonInteractiveAssertions);
    auto in = reading(data);
    try {
        readPluginHostNotification(nullptr, in.get());
        ADD_FAILURE() << "no assertion";
    } catch (const base::core::AssertionFailedException& e) {
        const std::string message = e.getMessage().getStdString();
        EXPECT_NE(message.find("Illegal state: Unknown notification type"), std::string::npos) << message;
        EXPECT_NE(message.find("File: pluginhost/lib/src/main/cpp/PluginHostReplies"), std::string::npos)
            << message;
        EXPECT_NE(message.find("Line: 444"), std::string::npos) << message;
    }
    base::core::popAssertionInteractionMode();
}

TEST_F(PluginHostNotifications, AnIgnoredUnknownTypeReadsNothingMore) {
    const std::string data = bytes({6, 1, 0, 0, 0});
    base::core::pushAssertionInteractionMode(base::core::InteractiveAssertions);
    // The developer chooses "Skip" in the dialog.
    base::core::setInteractiveAssertionHandler([](const String&, bool&) {});
    auto in = reading(data);
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
