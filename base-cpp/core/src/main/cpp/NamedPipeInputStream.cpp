#include "base/core/NamedPipeInputStream.h"

#include "base/core/IOException.h"
#include "base/core/StringBuilder.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace base::core {

NamedPipeInputStream::NamedPipeInputStream(int32_t fileDescriptor, int32_t wakeDescriptor,
                                           TextEncoding* encoding)
    : InputStream(encoding), fileDescriptor(fileDescriptor), wakeDescriptor(wakeDescriptor) {}

NamedPipeInputStream::~NamedPipeInputStream() {
    if ((useState.load() & CLOSING) == 0)
        closeDescriptors();
}

size_t NamedPipeInputStream::readBytes(unsigned char* buffer, size_t count) {
    if (useState.fetch_add(1) & CLOSING) {
        leaveRead();
        return 0;
    }
    struct ReadScope {
        NamedPipeInputStream& stream;
        ~ReadScope() { stream.leaveRead(); }
    } scope{*this};

    // One poll over the FIFO and the wake-up descriptor; the read after it does not block.
    pollfd descriptors[2] = {{fileDescriptor, POLLIN, 0}, {wakeDescriptor, POLLIN, 0}};
    while (poll(descriptors, 2, -1) < 0) {
        if (errno != EINTR)
            throw IOException(StringBuilder() + "Error reading from named pipe: " + std::strerror(errno));
    }
    if (descriptors[1].revents != 0)
        return 0;
    ssize_t got;
    do {
        got = ::read(fileDescriptor, buffer, count);
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        throw IOException(StringBuilder() + "Error reading from named pipe: " + std::strerror(errno));
    return static_cast<size_t>(got);
}

void NamedPipeInputStream::leaveRead() noexcept {
    // The last read to leave after close() has begun lets the closing thread go on.
    if (useState.fetch_sub(1) == (CLOSING | 1u))
        useState.notify_all();
}

void NamedPipeInputStream::close() {
    const uint32_t previous = useState.fetch_or(CLOSING);
    if (previous & CLOSING)
        throw IOException(StringBuilder() + "Could not close named pipe: " + std::strerror(EBADF));
    if (previous != 0) {
        const uint64_t one = 1;
        // An eventfd write of 1 fails only on counter overflow, which a single close cannot reach.
        [[maybe_unused]] const ssize_t written = ::write(wakeDescriptor, &one, sizeof one);
        for (uint32_t state = useState.load(); state != CLOSING; state = useState.load())
            useState.wait(state);
    }
    ::close(wakeDescriptor);
    if (::close(fileDescriptor) != 0)
        throw IOException(StringBuilder() + "Could not close named pipe: " + std::strerror(errno));
}

void NamedPipeInputStream::closeDescriptors() noexcept {
    ::close(wakeDescriptor);
    ::close(fileDescriptor);
}

} // namespace base::core
