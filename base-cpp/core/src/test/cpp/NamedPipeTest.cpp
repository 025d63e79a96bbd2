#include "ProcessTestSupport.h"

#include "base/core/IOException.h"
#include "base/core/InputStream.h"
#include "base/core/LocalFileSystem.h"
#include "base/core/NamedPipes.h"
#include "base/core/NamedServerPipe.h"
#include "base/core/OutputStream.h"

#include <csignal>
#include <future>

using namespace base::core;
using base::core::test::failureOf;

namespace {

std::string nativePath(const FilePath& logical, bool toClient) {
    return LocalFileSystem::filePathToNative(getPipeFilePath(logical, toClient)).getStdString();
}

// S_IFIFO, S_IFREG, or 0 when nothing is there.
unsigned fileType(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0 ? info.st_mode & S_IFMT : 0;
}

class NamedPipeTest : public ::testing::Test {
protected:
    void TearDown() override {
        std::filesystem::remove_all(std::filesystem::path(nativePath(path("main"), true)).parent_path());
    }

    FilePath path(const char* name) const { return getThreadPipePath(hostId, name); }

    // Both ends of the FIFO of `name` towards the client, opened at once (each open waits for the other).
    std::pair<SmartPtr<InputStream>, SmartPtr<OutputStream>> openBothEnds(const char* name) const {
        createPipe(path(name), true);
        auto opening =
            std::async(std::launch::async, [&] { return createNamedPipeInputStream(path(name), true); });
        SmartPtr<OutputStream> output = createNamedPipeOutputStream(path(name), true);
        return {opening.get(), output};
    }

    // Unique per process and test, so that parallel test runs never share pipes.
    static inline int counter = 0;
    const int hostId = static_cast<int>(getpid()) * 16 + counter++ % 16;
};

} // namespace

TEST_F(NamedPipeTest, StaleFileIsReplacedServerRemovesBothFilesAndMissingFifoFails) {
    const std::string toClient = nativePath(path("async-replies"), true);
    const std::string fromClient = nativePath(path("async-replies"), false);
    // Left behind by an earlier run: a regular file where the FIFO belongs, and a file of the direction
    // this pipe does not use.
    createPipe(path("async-replies"), false);
    unlink(fromClient.c_str());
    std::ofstream(fromClient) << "stale";
    std::ofstream(toClient) << "stale";

    SmartPtr<NamedServerPipe> server = NamedServerPipe::create(path("async-replies"), false, true);
    EXPECT_EQ(fileType(fromClient), unsigned(S_IFIFO));
    EXPECT_EQ(fileType(toClient), unsigned(S_IFREG));
    server.reset();
    EXPECT_EQ(fileType(fromClient), 0u);
    EXPECT_EQ(fileType(toClient), 0u);
    EXPECT_EQ(failureOf([&] { createNamedPipeInputStream(path("async-replies"), true); }),
              "Could not open named pipe \"" + toClient + "\": No such file or directory");
}

TEST_F(NamedPipeTest, WritesEndWithAnExceptionNeverASignal) {
    // SIGPIPE keeps its default action here: a raised one would end the test process.
    ASSERT_EQ(std::signal(SIGPIPE, SIG_DFL), SIG_DFL);
    auto [input, output] = openBothEnds("worker0");
    input->close();

    // Meanwhile another thread writes and abandons a second stream from under its writer.
    auto [busyInput, busy] = openBothEnds("worker1");
    auto draining = std::async(std::launch::async, [&] {
        unsigned char buffer[4096];
        while (busyInput->readBytes(buffer, sizeof buffer) > 0) {
        }
    });
    auto writing = std::async(std::launch::async, [&] {
        const unsigned char block[512] = {};
        for (;;)
            busy->writeBytes(block, sizeof block); // ends with the IOException of an abandoned stream
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    busy->abandon();
    ASSERT_EQ(writing.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_THROW(writing.get(), IOException);
    draining.get();

    sigset_t before, after, pending;
    pthread_sigmask(SIG_SETMASK, nullptr, &before);
    EXPECT_EQ(failureOf([&] {
                  output->writeByte(1);
                  output->flush();
              }),
              "Error writing to named pipe: Broken pipe");
    pthread_sigmask(SIG_SETMASK, nullptr, &after);
    sigpending(&pending);
    EXPECT_EQ(sigismember(&after, SIGPIPE), sigismember(&before, SIGPIPE)) << "the thread's mask changed";
    EXPECT_FALSE(sigismember(&pending, SIGPIPE)) << "a SIGPIPE is still pending";
}
