#include "PluginHostProcess.h"
#include "RemoteHostFixture.h"

#include "base/core/IOException.h"
#include "plugin/PluginAudioBus.h"
#include "plugin/PluginException.h"
#include "plugin/PluginInstanceState.h"

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <sstream>
#include <sys/wait.h>

using namespace plugin;
using namespace plugin::test;
using base::core::SmartPtr;
using base::core::String;

namespace {

const char* const INSTALLED_EFFECT = "/usr/lib/vst/ZamComp-vst.so";

// The "Key:value" lines of a `plugin-host info` block.
std::map<std::string, std::string> infoFields(const std::string& modulePath) {
    std::map<std::string, std::string> fields;
    std::istringstream lines(runPluginHost("info " + shellQuote(modulePath)).output);
    for (std::string line; std::getline(lines, line);) {
        const size_t colon = line.find(':');
        if (colon != std::string::npos)
            fields[line.substr(0, colon)] = line.substr(colon + 1);
    }
    return fields;
}

SmartPtr<CreatePluginInstanceReply> createAndWait(RemoteHost& host, const char* path, int& instanceId,
                                                  RecordingListener* listener = nullptr) {
    SmartPtr<RecordingReplyHandler> handler(new RecordingReplyHandler(host.log));
    instanceId = host.proxy->createPluginInstance(path, "", "", false, handler.get(), listener);
    EXPECT_TRUE(host.log.waitFor("reply 0")) << "no creation reply; host errors: " << host.hostErrors();
    return dynamic_cast<CreatePluginInstanceReply*>(handler->lastReply().get());
}

} // namespace

TEST(RemoteHost, PingAndIdsStartAtOne) {
    RemoteHost host;
    EXPECT_EQ(host.proxy->ping(), nullptr); // a void reply
    SmartPtr<RecordingReplyHandler> handler(new RecordingReplyHandler(host.log));
    SmartPtr<PluginHostRequest> first(new UpdateIORequest(nullptr, 41));
    SmartPtr<PluginHostRequest> second(new UpdateIORequest(nullptr, 42));
    SmartPtr<PluginHostRequest> ping(new PingRequest(nullptr));
    host.proxy->sendRequest(first.get(), handler.get());
    host.proxy->sendRequest(ping.get(), nullptr);
    host.proxy->sendRequest(second.get(), handler.get());
    EXPECT_EQ(first->getRequestId(), 1);
    EXPECT_EQ(ping->getRequestId(), -1); // synchronous requests take no id
    EXPECT_EQ(second->getRequestId(), 2);
    EXPECT_EQ(host.proxy->createPluginInstance(VST2_TESTAUTOMATOR, "", "", false, nullptr, nullptr), 1);
}

TEST(RemoteHost, InstalledEffectIsCreatedAsItsInfoReportDescribesIt) {
    const auto info = infoFields(INSTALLED_EFFECT);
    ASSERT_EQ(info.count("AudioInChannelCount"), 1u) << "plugin-host info failed on " << INSTALLED_EFFECT;
    RemoteHost host;
    int instanceId = 0;
    SmartPtr<CreatePluginInstanceReply> reply = createAndWait(host, INSTALLED_EFFECT, instanceId);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->getInstanceId(), instanceId);
    EXPECT_EQ(std::to_string(reply->getAudioInChannelCount()), info.at("AudioInChannelCount"));
    EXPECT_EQ(std::to_string(reply->getAudioOutChannelCount()), info.at("AudioOutChannelCount"));
    EXPECT_EQ(std::to_string(reply->getState()->getInputBuses().size()), info.at("AudioInBusCount"));
    EXPECT_EQ(std::to_string(reply->getState()->getOutputBuses().size()), info.at("AudioOutBusCount"));
    EXPECT_FALSE(reply->getState()->getParameters().empty());
    ASSERT_TRUE(reply->getAudioContext()) << "the client's view of the shared audio block";
    EXPECT_TRUE(reply->getAudioContext()->guardsIntact());

    // The other instance requests work on it and the host keeps serving.
    host.proxy->setCurrentProgram(instanceId, 0);
    host.proxy->setPluginWindowPosition(instanceId, 10, 20, 300, 200);
    SmartPtr<RecordingReplyHandler> io(new RecordingReplyHandler(host.log));
    host.proxy->updateIO(instanceId, io.get());
    ASSERT_TRUE(host.log.waitFor("reply 3"));
    auto* defined = dynamic_cast<DefineIoReply*>(io->lastReply().get());
    ASSERT_TRUE(defined);
    EXPECT_EQ(defined->getAudioOutChannelCount(), reply->getAudioOutChannelCount());
    host.proxy->destroyPluginInstance(instanceId);
    host.proxy->ping();
    // Gone: a request for it now only makes the host write its one line.
    host.proxy->updateIO(instanceId, io.get());
    host.proxy->ping();
    EXPECT_NE(host.hostErrors().find("No plugin instance found with id " + std::to_string(instanceId)),
              std::string::npos);
}

TEST(RemoteHost, MissingModuleAnswersTheErrorAndTheHostKeepsServing) {
    RemoteHost host;
    SmartPtr<RecordingReplyHandler> handler(new RecordingReplyHandler(host.log));
    host.proxy->createPluginInstance("/does/not/exist.so", "", "", false, handler.get(), nullptr);
    ASSERT_TRUE(host.log.waitFor("error: "));
    EXPECT_EQ(host.log.all().front(), "error: Couldn't load VST plug-in: /does/not/exist.so");
    EXPECT_EQ(host.proxy->ping(), nullptr);
}

TEST(RemoteHost, PluginEditsAndAutomationReachTheListener) {
    RemoteHost host;
    SmartPtr<RecordingListener> listener(new RecordingListener(host.log));
    int instanceId = 0;
    ASSERT_TRUE(createAndWait(host, VST2_TESTAUTOMATOR, instanceId, listener.get()));
    // Selecting a program makes the test plug-in act as if its user moved the parameter.
    host.proxy->setCurrentProgram(instanceId, 1);
    ASSERT_TRUE(host.log.waitFor("all parameters"));
    std::vector<std::string> seen;
    for (const auto& event : host.log.all()) {
        if (event != "reply 0")
            seen.push_back(event);
    }
    EXPECT_EQ(seen,
              (std::vector<std::string>{"begin 0", "parameter 0 = 0.250000", "end 0", "all parameters 1"}));
}

TEST(RemoteHost, DestroyingAnInstanceForgetsItsListener) {
    RemoteHost host;
    SmartPtr<RecordingListener> listener(new RecordingListener(host.log));
    int instanceId = 0;
    ASSERT_TRUE(createAndWait(host, VST2_TESTAUTOMATOR, instanceId, listener.get()));
    const int32_t held = listener->getReferenceCount();
    host.proxy->destroyPluginInstance(instanceId);
    EXPECT_EQ(listener->getReferenceCount(), held - 1) << "the proxy still holds the listener";
}

TEST(RemoteHost, ShutdownEndsTheHostWithStatusZero) {
    RemoteHost host;
    host.proxy->shutdown();
    EXPECT_EQ(host.launcher->waitForExit(), 0);
    EXPECT_TRUE(host.proxy->hasDied());
    // A second shutdown only meets the lost connection, quietly.
    host.proxy->shutdown();
}

TEST(RemoteHost, KilledHostFailsThePendingCreationOnceAndTellsTheManagerOnce) {
    RemoteHost host;
    SmartPtr<RecordingReplyHandler> handler(new RecordingReplyHandler(host.log));
    // The module's entry takes seconds, so the request is pending whatever the timing.
    host.proxy->createPluginInstance(VST2_TESTSLOWSTART, "", "", false, handler.get(), nullptr);
    kill(host.launcher->getPid(), SIGKILL);
    ASSERT_TRUE(host.log.waitFor("died: "));
    // The caller's own next request notices too; still only one death.
    EXPECT_THROW(host.proxy->ping(), base::core::IOException);
    EXPECT_EQ(host.log.count("died: "), 1u);
    ASSERT_EQ(host.log.count("error: Plugin host died: "), 1u);
    EXPECT_EQ(host.log.count("reply"), 0u);
}
