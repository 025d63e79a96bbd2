// What another local user can plant under the predictable pipe and shared-memory names, and how both sides
// refuse it. Other users are played with setpriv and setresuid, so these tests need root (as CI has).

#include "ProcessTestSupport.h"

#include "base/core/InputStream.h"
#include "base/core/NamedPipes.h"
#include "base/core/OutputStream.h"
#include "base/core/SharedMemory.h"
#include "base/core/StringBuilder.h"

#include <barrier>

using namespace base::core;
using namespace base::core::test;

namespace {

// What `open` fails with, in a child bounded to 2 s: a FIFO open that is wrongly let through blocks until a
// peer arrives.
std::string failureInChild(const std::function<void()>& open) {
    return runInChild([&] { return (std::cerr << failureOf(open), 0); }, ChildInput::Closed, "", 2).err;
}

unsigned modeOf(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// A user name of this test alone, so that its tree /tmp/pipes-<user> is its own; removed at the end.
class ForeignObjectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0)
            GTEST_SKIP() << "playing other users needs root";
    }
    void TearDown() override { removeTree(); }
    void removeTree() {
        std::filesystem::remove_all(root);
        std::filesystem::remove_all(root + "-elsewhere");
    }

    const std::string user = "foreign-" + std::to_string(getpid());
    ScopedUser scopedUser{user.c_str()};
    const std::string root = "/tmp/pipes-" + user;
    const std::string hostDirectory = root + "/zelvar/engine/plugin7";
    const FilePath mainPath = getThreadPipePath(7, "main");
};

} // namespace

TEST_F(ForeignObjectsTest, PipeTreeNotOwnedByTheUserAloneIsRefusedOnBothSides) {
    const struct {
        std::string plant, refused;
        const char* problem;
    } cases[] = {
        {"mkdir " + root + " && chmod 0777 " + root, root, "other users can write to it"},
        {"mkdir -m 0700 " + root + "-elsewhere && ln -s " + root + "-elsewhere " + root, root,
         "it is a symbolic link"},
        {"mkdir -m 0700 " + root + " " + root + "/zelvar && chown 64101 " + root + "/zelvar",
         root + "/zelvar", "it belongs to another user"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.plant);
        ASSERT_EQ(std::system(c.plant.c_str()), 0);
        const std::string expected =
            "Refusing directory \"" + c.refused + "\" of the named pipes: " + c.problem;
        // The client, which makes the tree, and the host, which only opens it.
        for (const std::string& message :
             {failureOf([&] { createPipe(mainPath, true); }),
              failureInChild([&] { createNamedPipeInputStream(mainPath, true); })}) {
            EXPECT_NE(message.find(expected), std::string::npos) << message;
            EXPECT_NE(message.find("remove \"" + c.refused + "\""), std::string::npos) << message;
        }

        // Once the foreign objects are gone the tree is made again, for this user alone.
        removeTree();
        EXPECT_EQ(failureOf([&] { createPipe(mainPath, true); }), "no exception");
        for (const std::string& directory : {root, root + "/zelvar", hostDirectory})
            EXPECT_EQ(modeOf(directory), 0700u) << directory;
        removeTree();
    }
}

TEST_F(ForeignObjectsTest, OnlyAFifoOfTheUserIsOpened) {
    // A file only the victim may read: what a link in place of a FIFO would make the host write into.
    const std::string secret = root + "-elsewhere";
    std::ofstream(secret) << "the victim's own text";
    ASSERT_EQ(chmod(secret.c_str(), 0600), 0);
    const std::pair<const char*, std::string> cases[] = {
        {"it is a symbolic link", "ln -s " + secret + " "},
        {"it is not a FIFO", "echo a plain file > "},
        {"it belongs to another user", "mkfifo -m 0600 $0 && chown 64101 "},
    };
    for (const auto& [problem, plant] : cases) {
        SCOPED_TRACE(problem);
        // The host reads "-to-client" and writes "-from-client".
        for (const bool toClient : {true, false}) {
            createPipe(mainPath, toClient);
            const std::string path = hostDirectory + (toClient ? "/main-to-client" : "/main-from-client");
            ASSERT_EQ(unlink(path.c_str()), 0);
            ASSERT_EQ(std::system(("sh -c '" + plant + path + "' " + path).c_str()), 0);
            const std::string message = failureInChild([&] {
                if (toClient) {
                    createNamedPipeInputStream(mainPath, true);
                    return;
                }
                SmartPtr<OutputStream> out = createNamedPipeOutputStream(mainPath, false);
                out->writeLine("the attacker's text");
                out->flush();
            });
            EXPECT_EQ(message.rfind("Refusing named pipe \"/" + path + "\": " + problem, 0), 0u) << message;
            unlink(path.c_str());
        }
    }
    std::ifstream in(secret);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the victim's own text");
}

TEST_F(ForeignObjectsTest, ClientsMakingTheTreeAtOnceAllSucceed) {
    // A workstation that starts one host per plug-in in parallel: every client races for every level.
    constexpr int CLIENTS = 8;
    for (int round = 0; round < 10; ++round) {
        std::barrier start(CLIENTS);
        std::vector<std::string> failures(CLIENTS);
        std::vector<std::thread> clients;
        for (int client = 0; client < CLIENTS; ++client) {
            clients.emplace_back([&, client] {
                start.arrive_and_wait();
                failures[client] = failureOf([&] { createPipe(getThreadPipePath(client, "main"), true); });
            });
        }
        for (auto& client : clients)
            client.join();
        EXPECT_EQ(failures, std::vector<std::string>(CLIENTS, "no exception"));
        EXPECT_EQ(modeOf(root + "/zelvar/engine"), 0700u);
        removeTree();
    }
}

TEST_F(ForeignObjectsTest, ClientRefusesABlockThatIsForeignOrTooSmall) {
    const String name = StringBuilder() + SHARED_MEMORY_NAME_PREFX + static_cast<int>(getpid()) + "-2";
    const std::string object = "/dev/shm/" + getSharedResourceName(name);
    const std::tuple<uid_t, int, const char*> cases[] = {
        {ATTACKER_UID, 8192, "It belongs to uid 64101, not to uid 0"},
        {0, 4096, "It holds only 4096 bytes"},
    };
    for (const auto& [owner, size, problem] : cases) {
        SCOPED_TRACE(problem);
        ASSERT_EQ(runAsUser(owner, "head -c " + std::to_string(size) + " /dev/zero > " + object), 0);
        // Mapped as it is, the short block would end the client with SIGBUS at its first access past the end.
        const std::string message = failureOf([&] { SharedMemory::open(name, 8192); });
        EXPECT_EQ(message.rfind("Refusing shared memory with name \"" + name.getStdString() +
                                    "\" and size of 8192\n" + problem,
                                0),
                  0u)
            << message;
        unlink(object.c_str());
    }
}
