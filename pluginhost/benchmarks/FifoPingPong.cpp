#include "FifoPingPong.h"

#include "base/core/Assertion.h"
#include "base/core/IOException.h"
#include "base/core/StringBuilder.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace plugin::benchmarks {

using base::core::IOException;
using base::core::StringBuilder;

namespace {

constexpr const char* SOURCE = "pluginhost/benchmarks/FifoPingPong";

// The SCHED_FIFO priority that base::core::Thread gives the host's audio threads (priority class 1).
constexpr int AUDIO_THREAD_REALTIME_PRIORITY = 70;

IOException systemError(const char* what, const std::string& path) {
    return IOException(StringBuilder() + what + " \"" + path.c_str() + "\": " + std::strerror(errno));
}

// The child's whole life, in system calls only: it was forked from a process that may have threads.
[[noreturn]] void answerMessages(const char* requestPath, const char* answerPath, size_t messageSize,
                                 size_t answerSize, bool realtime) {
    if (realtime) {
        sched_param parameters{};
        parameters.sched_priority = AUDIO_THREAD_REALTIME_PRIORITY;
        sched_setscheduler(0, SCHED_FIFO, &parameters); // as the host: ordinary priority when refused
    }
    // The same order as the parent's opens, so that each blocking open meets its peer.
    const int input = open(requestPath, O_RDONLY | O_CLOEXEC);
    const int output = open(answerPath, O_WRONLY | O_CLOEXEC);
    if (input < 0 || output < 0)
        _exit(2);
    unsigned char message[FifoPingPong::MAX_SIZE];
    const unsigned char answer[FifoPingPong::MAX_SIZE] = {};
    for (;;) {
        size_t received = 0;
        while (received < messageSize) {
            const ssize_t got = read(input, message + received, messageSize - received);
            if (got == 0)
                _exit(0); // the parent has closed its end
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                _exit(3);
            }
            received += static_cast<size_t>(got);
        }
        if (write(output, answer, answerSize) != static_cast<ssize_t>(answerSize))
            _exit(4);
    }
}

} // namespace

FifoPingPong::FifoPingPong(size_t messageSize, size_t answerSize, bool realtime)
    : messageSize(messageSize), answerSize(answerSize) {
    BASE_ASSERT_MSG(messageSize > 0 && messageSize <= MAX_SIZE && answerSize > 0 && answerSize <= MAX_SIZE,
                    "Message and answer sizes must be within 1 and MAX_SIZE", SOURCE);
    char pattern[] = "/tmp/fifo-ping-pong-XXXXXX";
    if (!mkdtemp(pattern))
        throw systemError("Could not create the directory", pattern);
    directory = pattern;
    requestPath = directory + "/request";
    answerPath = directory + "/answer";
    try {
        if (mkfifo(requestPath.c_str(), 0600) != 0)
            throw systemError("Could not create the FIFO", requestPath);
        if (mkfifo(answerPath.c_str(), 0600) != 0)
            throw systemError("Could not create the FIFO", answerPath);
        child = fork();
        if (child < 0)
            throw systemError("Could not fork the answering process for", directory);
        if (child == 0)
            answerMessages(requestPath.c_str(), answerPath.c_str(), messageSize, answerSize, realtime);
        requestDescriptor = open(requestPath.c_str(), O_WRONLY | O_CLOEXEC);
        if (requestDescriptor < 0)
            throw systemError("Could not open the FIFO", requestPath);
        answerDescriptor = open(answerPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (answerDescriptor < 0)
            throw systemError("Could not open the FIFO", answerPath);
    } catch (...) {
        release();
        throw;
    }
}

FifoPingPong::~FifoPingPong() {
    release();
}

void FifoPingPong::roundTrip() {
    // Fits the pipe buffer, so one write takes it all at once, as the host's client writes its command.
    ssize_t written;
    do {
        written = write(requestDescriptor, message, messageSize);
    } while (written < 0 && errno == EINTR);
    if (written != static_cast<ssize_t>(messageSize))
        throw systemError("Could not write to the FIFO", requestPath);
    size_t received = 0;
    while (received < answerSize) {
        const ssize_t got = read(answerDescriptor, answer + received, answerSize - received);
        if (got == 0)
            throw IOException(StringBuilder() + "The answering process closed \"" + answerPath.c_str() +
                              "\"");
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw systemError("Could not read from the FIFO", answerPath);
        }
        received += static_cast<size_t>(got);
    }
}

void FifoPingPong::release() noexcept {
    const bool connected = requestDescriptor >= 0 && answerDescriptor >= 0;
    if (requestDescriptor >= 0)
        close(requestDescriptor);
    if (answerDescriptor >= 0)
        close(answerDescriptor);
    requestDescriptor = answerDescriptor = -1;
    if (child > 0) {
        // A connected child ends at the end of its input; one that may still wait in an open must be told.
        if (!connected)
            kill(child, SIGTERM);
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        child = -1;
    }
    if (!requestPath.empty())
        unlink(requestPath.c_str());
    if (!answerPath.empty())
        unlink(answerPath.c_str());
    if (!directory.empty())
        rmdir(directory.c_str());
}

} // namespace plugin::benchmarks
