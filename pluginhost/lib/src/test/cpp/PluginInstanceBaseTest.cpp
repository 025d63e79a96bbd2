#include "HeapAudioContext.h"
#include "RecordingProxyHandler.h"
#include "TestPluginApi.h"

#include "base/core/MemoryInputStream.h"
#include "linux/MainLoop.h"
#include "plugin/LocalPluginAudioContext.h"
#include "plugin/PluginException.h"
#include "plugin/PluginHostNotificationListener.h"
#include "plugin/PluginHostNotificationQueue.h"

#include <gtest/gtest.h>

#include <thread>
#include <tuple>

using namespace plugin;
using namespace plugin::test;
using base::core::MemoryInputStream;
using base::core::SmartPtr;
using base::core::String;

namespace {

// Reads every notification on the async channel back, as the client would.
std::vector<SmartPtr<PluginHostNotification>> readNotifications(const std::string& bytes) {
    std::vector<SmartPtr<PluginHostNotification>> result;
    SmartPtr<MemoryInputStream> in(new MemoryInputStream(bytes.data(), bytes.size()));
    while (in->numBytesAvailable() > 0) {
        EXPECT_EQ(in->readInt32Native(), 0) << "an answer where only notifications were expected";
        result.push_back(readPluginHostNotification(nullptr, in.get()));
    }
    return result;
}

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
};

} // namespace

// A module that does not load is answered by the request handler, which PluginHostRequests tests.
TEST_F(HostWithInstance, ModulesAreLoadedOnceAndFailuresNameThePath) {
    host.createPluginInstance(2, "/x/plug.so", "", false);
    EXPECT_EQ(api.loadCount, 1);
    EXPECT_EQ(host.getPluginInstance(2)->getInstanceId(), 2);
    try {
        host.createPluginInstance(3, "/x/empty.so", "", false);
        ADD_FAILURE() << "a module without instances made one";
    } catch (const PluginException& e) {
        EXPECT_EQ(e.getMessage(), "Couldn't instantiate VST plug-in: /x/empty.so");
    }
    // Only VST 3 is tried for a path ending in "vst3", and no VST 3 format is installed here.
    EXPECT_THROW(host.createPluginInstance(3, "/x/plug.vst3", "", false), PluginException);
    EXPECT_EQ(api.loadCount, 2);
    EXPECT_EQ(host.getPluginInstance(3), nullptr);
}

TEST_F(HostWithInstance, WatchedChangesProduceOneDisplayUpdatePerTickInLatin1UnlessUtf8) {
    instance->parameters[0].display = "\xE9t\xE9";
    instance->setParameterNormalizedValue(0, 0.1f);
    instance->setParameterNormalizedValue(0, 0.2f);
    instance->setParameterNormalizedValue(2, 0.3f); // not watched
    EXPECT_EQ(instance->getPendingParameterChanges(), 2);
    handler->clear();
    instance->idle();
    EXPECT_EQ(instance->getPendingParameterChanges(), 0);
    auto notifications = readNotifications(handler->asyncBytes);
    ASSERT_EQ(notifications.size(), 1u);
    auto* display = dynamic_cast<UpdateParameterDisplayNotification*>(notifications[0].get());
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(display->getIndex(), 0);
    EXPECT_EQ(display->getName(), "Gain");
    EXPECT_EQ(display->getDisplay(), "\u00e9t\u00e9");
    handler->clear();
    instance->idle();
    EXPECT_TRUE(handler->asyncBytes.empty());

    // With a context of no parameters, idle reports nothing, whatever the plug-in has.
    SmartPtr<HeapAudioContext> other(new HeapAudioContext(64, 0, 1, 0, true));
    other->init();
    instance->setAudioContext(other.get());
    instance->idle();
    EXPECT_TRUE(handler->asyncBytes.empty());
}

TEST_F(HostWithInstance, PluginChangesAndGesturesNotifyUnlessSettingUp) {
    handler->clear();
    instance->setSettingUp(true);
    instance->pluginChangedNormalizedValue(0, 0.75f);
    instance->pluginBeginEditParameter(0);
    instance->refreshAllParameters();
    EXPECT_TRUE(handler->asyncBytes.empty());
    EXPECT_FALSE(instance->isRefreshRequested());
    instance->setSettingUp(false);

    instance->pluginBeginEditParameter(1);
    instance->pluginChangedNormalizedValue(1, 0.75f);
    instance->pluginEndEditParameter(1);
    auto notifications = readNotifications(handler->asyncBytes);
    ASSERT_EQ(notifications.size(), 3u);
    EXPECT_EQ(notifications[0]->getNotificationType(), 3);
    EXPECT_TRUE(static_cast<BeginOrEndEditParameterNotification*>(notifications[0].get())->isBegin());
    auto* update = static_cast<UpdateParameterNotification*>(notifications[1].get());
    EXPECT_EQ(update->getIndex(), 1);
    EXPECT_EQ(update->getValue(), 0.75f);
    EXPECT_FALSE(static_cast<BeginOrEndEditParameterNotification*>(notifications[2].get())->isBegin());
    // The plug-in's own change also marks the watched parameter's display as due.
    EXPECT_NE(context->parameterFlag(1).load() & PluginAudioContext::PARAMETER_CHANGED, 0);
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

TEST_F(HostWithInstance, OnSizeIsSilentWhileSuppressed) {
    handler->clear();
    instance->setWindowNotificationsSuppressed(true);
    instance->onSize(1, 2, 300, 200);
    EXPECT_FALSE(instance->isWindowSizeKnown());
    EXPECT_TRUE(handler->asyncBytes.empty());
    instance->setWindowNotificationsSuppressed(false);
    instance->setWindowPosition(10, 20);
    instance->onSize(1, 2, 300, 200);
    auto notifications = readNotifications(handler->asyncBytes);
    ASSERT_EQ(notifications.size(), 1u);
    auto* moved = static_cast<PluginWindowMovedNotification*>(notifications[0].get());
    EXPECT_EQ(std::make_tuple(moved->getX(), moved->getY(), moved->getWidth(), moved->getHeight()),
              std::make_tuple(10, 20, 300, 200));
}

TEST_F(HostWithInstance, TheIdleTickCallsEveryInstanceAboutThirtyTimesASecond) {
    auto* second = static_cast<TestPluginInstance*>(host.createPluginInstance(2, "/x/plug.so", "", false));
    host.getMainLoop().addTimer(0.5, [&] { host.shutdown(); });
    host.getMainLoop().run();
    // 15 ticks in half a second; loose bounds, since a loaded machine coalesces timer expirations.
    EXPECT_GE(instance->idleCount, 3);
    EXPECT_LE(instance->idleCount, 16);
    EXPECT_EQ(instance->idleCount, second->idleCount);
}

TEST_F(HostWithInstance, ALocalContextCallsTheInstanceDirectly) {
    SmartPtr<LocalPluginAudioContext> local(new LocalPluginAudioContext(instance, 64));
    local->init();
    local->clearAndWriteGuards();
    EXPECT_EQ(local->getParameterCount(), 3);
    instance->setAudioContext(local.get());
    local->startProcessing();
    local->getInputChannel(1)[5] = 0.5f;
    local->processAudio(64, true, false);
    EXPECT_EQ(instance->processCount, 1);
    EXPECT_EQ(instance->lastProcessFrames, 64u);
    EXPECT_TRUE(local->guardsIntact());
    // A second init resizes the one block in place of a new one.
    local->init();
    EXPECT_TRUE(local->guardsIntact());
}
