#pragma once

#include "base/core/OutputStream.h"

#include <atomic>
#include <cstdint>

namespace base::core {

// The writing end of one FIFO. A reader that has gone makes a write fail with an IOException, never end
// the process by SIGPIPE, whatever the process does with that signal. abandon() may come from another
// thread while a write is in progress.
class NamedPipeOutputStream : public OutputStream {
public:
    // Takes ownership of the FIFO descriptor opened for writing.
    explicit NamedPipeOutputStream(int32_t fileDescriptor, TextEncoding* encoding = nullptr);
    ~NamedPipeOutputStream() override;

    // Writes all `count` bytes, repeating after partial writes.
    void writeBytes(const unsigned char* bytes, size_t count) override;
    // Closes the descriptor once; a second close fails.
    void close() override;
    void abandon() override;

private:
    static constexpr uint32_t CLOSING = 0x80000000u;

    ssize_t writeWithoutSignal(const unsigned char* bytes, size_t count);
    void leaveWrite() noexcept;
    // Closes the descriptor the first time only.
    int releaseDescriptor() noexcept;

    int32_t fileDescriptor;
    // Whether SIGPIPE must be held back around each write: not where the process ignores it anyway.
    bool suppressSignal;
    // CLOSING once closing has begun, plus the number of writes in progress; the descriptor goes when both
    // closing has begun and no write uses it.
    std::atomic<uint32_t> useState{0};
    std::atomic<bool> released{false};
};

} // namespace base::core
