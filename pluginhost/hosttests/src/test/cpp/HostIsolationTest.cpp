// A real host and client against what another local user plants under their predictable names: both refuse
// it with a message that says what is wrong, and work again once it is gone. Other users are played with
// setpriv and setresuid, so these tests need root (as CI has).

#include "RemoteHostFixture.h"

#include "base/core/SharedMemory.h"
#include "plugin/PluginAudioContext.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace plugin;
using namespace plugin::test;
using base::core::test::ATTACKER_UID;
using base::core::test::becomeUser;
using base::core::test::ForkedChild;
using base::core::test::runAsUser;
using base::core::test::ScopedUser;
using base::core::test::VICTIM_UID;

namespace {

class HostIsolation : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0)
            GTEST_SKIP() << "playing other users needs root";
    }
    void TearDown() override {
        std::filesystem::remove_all(root);
        // The victim's own block too: a host that ends leaves its blocks behind.
        if (!sharedObject.empty())
            unlink(sharedObject.c_str());
    }

    const std::string user = "isolation-" + std::to_string(getpid());
    ScopedUser scopedUser{user.c_str()};
    const std::string root = "/tmp/pipes-" + user;
    const int hostId = nextHostId();
    std::string sharedObject;
};

} // namespace

TEST_F(HostIsolation, ForeignPipeTreeIsRefusedByTheHostUntilItIsGone) {
    const std::string hostDirectory = root + "/zelvar/engine/plugin" + std::to_string(hostId);
    ASSERT_EQ(
        runAsUser(ATTACKER_UID, "umask 0 && mkdir -p " + hostDirectory + " && cd " + hostDirectory +
                                    " && mkfifo main-to-client main-from-client async-replies-from-client"),
        0);
    const std::string refusal =
        "Refusing directory \"" + root +
        "\" of the named pipes: it belongs to another user (owner uid 64101, mode 0777)";

    // A host started on its own refuses before it opens a FIFO, so no request of the other user reaches it.
    const PluginHostRun run = runPluginHost("host 44100 256 " + std::to_string(hostId) + " 1", 10);
    EXPECT_EQ(run.exitStatus, 255);
    EXPECT_NE(run.errors.find(refusal), std::string::npos) << run.errors;

    std::filesystem::remove_all(root);
    RemoteHost host(1, 256, {}, hostId);
    EXPECT_EQ(host.proxy->ping(), nullptr);
}

TEST_F(HostIsolation, SharedMemoryInTheWayFailsTheCreationUntilItIsGone) {
    const base::core::String blockName = getAudioContextName(hostId, 1);
    const std::string object = sharedObject = "/dev/shm/" + base::core::getSharedResourceName(blockName);
    ASSERT_EQ(runAsUser(ATTACKER_UID, "umask 0 && head -c 4096 /dev/zero > " + object), 0);
    // Client and host of a user who is not root: the sticky /dev/shm keeps them from removing the object.
    auto createAsVictim = [&](const std::string& expected) {
        ForkedChild client(
            [&] {
                if (!becomeUser(VICTIM_UID))
                    return 10;
                RemoteHost host(1, 256, {}, hostId);
                const auto handler = host.handler();
                host.proxy->createPluginInstance(VST2_TESTNULL, "", "", false, handler.get(), nullptr);
                host.log.waitFor("");
                const std::vector<std::string> events = host.log.all();
                const auto* created = dynamic_cast<CreatePluginInstanceReply*>(handler->lastReply().get());
                if (events.size() == 1 && events.front().rfind(expected, 0) == 0 &&
                    (!created || (created->getAudioContext() && created->getAudioContext()->guardsIntact())))
                    return 0;
                return 1;
            },
            10);
        return client.wait();
    };
    EXPECT_EQ(createAsVictim("error: Could not remove stale shared memory with name \"" +
                             blockName.getStdString() + "\" and size of "),
              0);
    struct stat info;
    ASSERT_EQ(stat(object.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, ATTACKER_UID);
    EXPECT_EQ(info.st_size, 4096) << "the block was adopted";
    ASSERT_EQ(unlink(object.c_str()), 0);
    EXPECT_EQ(createAsVictim("reply 0"), 0);
}
