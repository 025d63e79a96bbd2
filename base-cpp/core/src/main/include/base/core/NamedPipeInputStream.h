#pragma once

#include "base/core/InputStream.h"

#include <atomic>
#include <cstdint>

namespace base::core {

// The reading end of one FIFO. close() may be called from another thread while a read is blocked: it wakes
// that read, which then ends as at end of stream.
class NamedPipeInputStream : public InputStream {
public:
    // Takes ownership of the FIFO's descriptor, opened for reading.
    NamedPipeInputStream(int32_t fileDescriptor, TextEncoding* encoding = nullptr);
    ~NamedPipeInputStream() override;

    // One read of up to `count` bytes; 0 when the writer has closed or this stream has been closed.
    size_t readBytes(unsigned char* buffer, size_t count) override;
    // Closes the descriptor once; a second close fails.
    void close() override;

private:
    static constexpr uint32_t CLOSING = 0x80000000u;

    void leaveRead() noexcept;
    void wakeReadsAndWait();

    int32_t fileDescriptor;
    // CLOSING once close() has begun, plus the number of reads in progress. The FIFO descriptor is closed
    // only when no read uses it any more, so a read never touches a number the process has meanwhile reused.
    std::atomic<uint32_t> useState{0};
};

} // namespace base::core
