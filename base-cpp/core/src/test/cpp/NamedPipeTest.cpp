#include "ProcessTestSupport.h"

#include "base/core/EOSException.h"
#include "base/core/IOException.h"
#include "base/core/InputStream.h"
#include "base/core/LocalFileSystem.h"
#include "base/core/NamedPipe.h"
#include "base/core/NamedPipes.h"
#include "base/core/NamedServerPipe.h"
#include "base/core/OutputStream.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <future>
#include <sys/stat.h>
#include <thread>

using namespace base::core;
using base::core::test::ForkedChild;
using base::core::test::ScopedUser;

namespace {

std::string nativePath(const FilePath& logical, bool toClient) {
    return LocalFileSystem::filePathToNative(getPipeFilePath(logical, toClient)).getStdString();
}

bool isFifo(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

bool fileExists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

class NamedPipeTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        // Unique per process and test, so that parallel test runs never share pipes.
        hostId = static_cast<int>(getpid()) * 16 + counter++ % 16;
    }

    void TearDown() override {
        FilePath directory = getPipeFilePath(getThreadPipePath(hostId, "main"), true);
        directory.setToParent();
        rmdir(LocalFileSystem::filePathToNative(directory).getStdString().c_str());
    }

    int hostId = 0;
};

} // namespace

TEST_F(NamedPipeTest, PathsFollowHostIdNameAndUser) {
    EXPECT_EQ(getThreadPipePath(3, "main").toString(), "zelvar/engine/plugin3/main");
    {
        ScopedUser user("u");
        EXPECT_EQ(nativePath(getThreadPipePath(3, "main"), true),
                  "//tmp/pipes-u/zelvar/engine/plugin3/main-to-client");
        EXPECT_EQ(nativePath(getThreadPipePath(12, "worker0"), false),
                  "//tmp/pipes-u/zelvar/engine/plugin12/worker0-from-client");
    }
    {
        ScopedUser user(nullptr);
        EXPECT_EQ(nativePath(getThreadPipePath(3, "async-replies"), false),
                  "//tmp/pipes-/zelvar/engine/plugin3/async-replies-from-client");
    }
}

TEST_F(NamedPipeTest, TwoProcessesExchangeBytesAndSeeEndOfStream) {
    const FilePath mainPath = getThreadPipePath(hostId, "main");
    const FilePath asyncPath = getThreadPipePath(hostId, "async-replies");
    const FilePath workerPath = getThreadPipePath(hostId, "worker0");
    SmartPtr<NamedServerPipe> mainServer = NamedServerPipe::create(mainPath, true, true);
    SmartPtr<NamedServerPipe> asyncServer = NamedServerPipe::create(asyncPath, false, true);
    SmartPtr<NamedServerPipe> workerServer = NamedServerPipe::create(workerPath, true, true);

    // The host's side: answers a request on "main", notifies on "async-replies", echoes on "worker0" until
    // the end of stream, and reports that end on "main".
    ForkedChild host(
        [&] {
            SmartPtr<NamedPipe> main = NamedPipe::connectToServer(mainPath, nullptr, true, true);
            SmartPtr<NamedPipe> async = NamedPipe::connectToServer(asyncPath, nullptr, false, true);
            SmartPtr<NamedPipe> worker = NamedPipe::connectToServer(workerPath, nullptr, true, true);
            if (async->getInputStream() || !async->getOutputStream())
                return 2;
            const int32_t request = main->getInputStream()->readInt32();
            main->getOutputStream()->writeInt32(request + 1);
            main->getOutputStream()->flush();
            async->getOutputStream()->writeBinaryString("parameter changed");
            async->getOutputStream()->flush();
            unsigned char block[3000];
            while (const size_t got = worker->getInputStream()->readBytes(block, sizeof block)) {
                worker->getOutputStream()->writeBytes(block, got);
                worker->getOutputStream()->flush();
            }
            main->getOutputStream()->writeLine("end of worker stream");
            main->getOutputStream()->flush();
            return 0;
        },
        {nativePath(mainPath, true), nativePath(mainPath, false), nativePath(asyncPath, false),
         nativePath(workerPath, true), nativePath(workerPath, false)});
    ASSERT_GT(host.getPid(), 0);

    SmartPtr<NamedPipe> main = mainServer->waitForClientToConnect(nullptr);
    SmartPtr<NamedPipe> async = asyncServer->waitForClientToConnect(nullptr);
    SmartPtr<NamedPipe> worker = workerServer->waitForClientToConnect(nullptr);
    ASSERT_TRUE(async->getInputStream());
    EXPECT_FALSE(async->getOutputStream());
    EXPECT_EQ(mainServer->getConnectedPipe(), main);

    main->getOutputStream()->writeInt32(41);
    main->getOutputStream()->flush();
    EXPECT_EQ(main->getInputStream()->readInt32(), 42);
    EXPECT_EQ(async->getInputStream()->readBinaryString(), "parameter changed");

    // More than one buffer's worth, so that both sides see short reads and refills.
    std::vector<unsigned char> sent(5000);
    for (size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<unsigned char>(i * 7 + 3);
    worker->getOutputStream()->writeBytes(sent.data(), sent.size());
    worker->getOutputStream()->flush();
    std::vector<unsigned char> echoed(sent.size());
    worker->getInputStream()->readReqBytes(echoed.data(), echoed.size());
    EXPECT_EQ(echoed, sent);

    worker->getOutputStream()->close();
    EXPECT_EQ(main->getInputStream()->readLine(), "end of worker stream");
    // The host has left: every pipe it wrote ends.
    EXPECT_THROW(main->getInputStream()->readByte(), EOSException);
    EXPECT_THROW(async->getInputStream()->readByte(), EOSException);
    EXPECT_EQ(host.wait(), 0);
}

TEST_F(NamedPipeTest, StaleFileIsReplacedAndServerRemovesBothFiles) {
    const FilePath path = getThreadPipePath(hostId, "async-replies");
    createPipe(path, false);
    const std::string toClient = nativePath(path, true);
    const std::string fromClient = nativePath(path, false);
    // Left behind by an earlier run: a regular file where the FIFO belongs, and a file of the direction
    // this pipe does not use.
    unlink(fromClient.c_str());
    std::ofstream(fromClient) << "stale";
    std::ofstream(toClient) << "stale";
    ASSERT_FALSE(isFifo(fromClient));

    SmartPtr<NamedServerPipe> server = NamedServerPipe::create(path, false, true);
    EXPECT_TRUE(isFifo(fromClient));
    EXPECT_FALSE(isFifo(toClient));
    server.reset();
    EXPECT_FALSE(fileExists(fromClient));
    EXPECT_FALSE(fileExists(toClient));
}

TEST_F(NamedPipeTest, OpeningMissingFifoFails) {
    const FilePath path = getThreadPipePath(hostId, "worker9");
    const std::string native = nativePath(path, true);
    try {
        createNamedPipeInputStream(path, true);
        FAIL() << "opened a FIFO that does not exist";
    } catch (const IOException& e) {
        EXPECT_EQ(e.getMessage(),
                  String("Could not open named pipe \"" + native + "\": No such file or directory"));
    }
}

TEST_F(NamedPipeTest, ClosingInputFromAnotherThreadEndsBlockedRead) {
    const FilePath path = getThreadPipePath(hostId, "worker0");
    createPipe(path, true);
    auto opening = std::async(std::launch::async, [&] { return createNamedPipeInputStream(path, true); });
    SmartPtr<OutputStream> output = createNamedPipeOutputStream(path, true);
    SmartPtr<InputStream> input = opening.get();

    std::promise<void> firstByteRead;
    auto reading = std::async(std::launch::async, [&] {
        unsigned char byte;
        input->readReqBytes(&byte, 1);
        firstByteRead.set_value();
        // The writer stays open: only the close below can end this read.
        unsigned char rest[16];
        return input->readBytes(rest, sizeof rest);
    });
    output->writeByte(7);
    output->flush();
    if (firstByteRead.get_future().wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
        // Ends the read at end of stream, so that the reader's future can be destroyed.
        output->close();
        FAIL() << "the first byte did not arrive";
    }
    // Gives the reader time to block; the outcome does not depend on it.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

    bool outputClosed = false;
    // Closed on a thread of its own too, so that a close that fails to wake the reader cannot hang the test.
    auto closing = std::async(std::launch::async, [&] { input->close(); });
    if (reading.wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
        ADD_FAILURE() << "closing the input did not end the blocked read";
        output->close();
        outputClosed = true;
    }
    closing.get();
    EXPECT_EQ(reading.get(), 0u);

    unsigned char byte;
    EXPECT_EQ(input->readBytes(&byte, 1), 0u);
    try {
        input->close();
        ADD_FAILURE() << "a second close succeeded";
    } catch (const IOException& e) {
        EXPECT_EQ(e.getMessage(), "Could not close named pipe: Bad file descriptor");
    }
    if (!outputClosed)
        output->close();
    EXPECT_THROW(output->close(), IOException);
    LocalFileSystem::getInstance()->deleteFile(getPipeFilePath(path, true));
}

TEST_F(NamedPipeTest, WritesEndWithAnExceptionNeverASignal) {
    // SIGPIPE keeps its default action here: a raised one would end the test process.
    ASSERT_EQ(std::signal(SIGPIPE, SIG_DFL), SIG_DFL);
    const FilePath path = getThreadPipePath(hostId, "worker0");
    createPipe(path, true);
    auto opening = std::async(std::launch::async, [&] { return createNamedPipeInputStream(path, true); });
    SmartPtr<OutputStream> output = createNamedPipeOutputStream(path, true);
    opening.get()->close();

    // Meanwhile another thread writes and abandons a second stream from under its writer.
    createPipe(getThreadPipePath(hostId, "worker1"), true);
    auto draining = std::async(std::launch::async, [&] {
        SmartPtr<InputStream> in = createNamedPipeInputStream(getThreadPipePath(hostId, "worker1"), true);
        unsigned char buffer[4096];
        while (in->readBytes(buffer, sizeof buffer) > 0) {
        }
    });
    SmartPtr<OutputStream> busy = createNamedPipeOutputStream(getThreadPipePath(hostId, "worker1"), true);
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
    try {
        output->writeByte(1);
        output->flush();
        ADD_FAILURE() << "a write to a FIFO without reader succeeded";
    } catch (const IOException& e) {
        EXPECT_EQ(e.getMessage(), "Error writing to named pipe: Broken pipe");
    }
    pthread_sigmask(SIG_SETMASK, nullptr, &after);
    sigpending(&pending);
    EXPECT_EQ(sigismember(&after, SIGPIPE), sigismember(&before, SIGPIPE)) << "the thread's mask changed";
    EXPECT_FALSE(sigismember(&pending, SIGPIPE)) << "a SIGPIPE is still pending";
    for (const char* name : {"worker0", "worker1"})
        LocalFileSystem::getInstance()->deleteFile(getPipeFilePath(getThreadPipePath(hostId, name), true));
}
