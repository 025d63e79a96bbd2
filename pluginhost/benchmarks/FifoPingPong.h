#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace plugin::benchmarks {

// The floor of the audio channel: a child process that answers every message of one size with an answer
// of another over two FIFOs, with nothing between the calls and the read and write system calls.
class FifoPingPong {
public:
    static constexpr size_t MAX_SIZE = 64;

    // Creates the FIFOs in a new temporary directory and forks the answering child. With `realtime`, the
    // child takes the real-time class of the host's audio threads when the system allows it.
    FifoPingPong(size_t messageSize, size_t answerSize, bool realtime);
    FifoPingPong(const FifoPingPong&) = delete;
    FifoPingPong& operator=(const FifoPingPong&) = delete;
    // Closes the parent's ends, which ends the child, and removes the FIFOs.
    ~FifoPingPong();

    // Writes one message and blocks until the whole answer has arrived.
    void roundTrip();

private:
    void release() noexcept;

    size_t messageSize;
    size_t answerSize;
    std::string directory;
    std::string requestPath;
    std::string answerPath;
    pid_t child = -1;
    int requestDescriptor = -1;
    int answerDescriptor = -1;
    unsigned char message[MAX_SIZE] = {};
    unsigned char answer[MAX_SIZE] = {};
};

} // namespace plugin::benchmarks
