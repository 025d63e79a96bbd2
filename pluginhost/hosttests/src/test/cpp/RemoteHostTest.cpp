// The plug-ins' own edits and the run loop through a real host process and the client library.

#include "RemoteHostFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

using namespace plugin;
using namespace plugin::test;

// The test automator edits its parameter and asks for a refresh whenever a program is selected. Selected by
// the client, all of it reaches the listener; while a bank is saved and loaded, only the one refresh after
// the load does. Once the instance is destroyed, the proxy lets go of the listener.
TEST(RemoteHost, PluginEditsReachTheListenerExceptWhileABankMoves) {
    RemoteHost host;
    RemoteInstance instance(host, VST2_TESTAUTOMATOR);
    host.proxy->setCurrentProgram(instance.id, 1);
    ASSERT_TRUE(host.log.waitFor("all parameters"));
    EXPECT_EQ(host.log.all(), (std::vector<std::string>{"reply 0", "begin 0", "parameter 0 = 0.250000",
                                                        "end 0", "all parameters 1"}));

    const auto handler = host.handler();
    // Of this process alone: runs of the suite side by side must not share it.
    const std::string bank = testing::TempDir() + "automator-" + std::to_string(getpid()) + ".fxb";
    host.proxy->savePreset(instance.id, bank, handler.get());
    host.proxy->loadPreset(instance.id, bank, handler.get());
    ASSERT_TRUE(host.log.waitFor("reply 2"));
    ASSERT_TRUE(host.log.waitFor("all parameters ", 2));
    usleep(200000);
    EXPECT_EQ(host.log.count("all parameters "), 2u);
    EXPECT_EQ(host.log.count("parameter "), 1u);
    EXPECT_EQ(host.log.count("begin "), 1u);
    std::filesystem::remove(bank);

    const int32_t held = host.listener->getReferenceCount();
    host.proxy->destroyPluginInstance(instance.id);
    EXPECT_EQ(host.listener->getReferenceCount(), held - 1) << "the proxy still holds the listener";
}

TEST(RemoteHost, RunLoopServesAVst3PlugInWithoutEditorAndItsEditsArriveAsNotifications) {
    RemoteHost host;
    RemoteInstance instance(host, VST3_TESTVST3TWOCLASS);
    ASSERT_TRUE(instance.reply);
    // Each timer tick edits "Ticks" (index 0) and writes into a pipe whose reader edits "Reads" (index 1).
    EXPECT_TRUE(host.log.waitFor("end 0", 2)) << host.hostErrors();
    EXPECT_TRUE(host.log.waitFor("parameter 1 = "));
    host.proxy->destroyPluginInstance(instance.id);
    EXPECT_EQ(host.proxy->ping(), nullptr);
}
