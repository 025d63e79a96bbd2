#include "base/core/NamedPipeInputStream.h"

#include "base/core/IOException.h"
#include "base/core/StringBuilder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

namespace base::core {

NamedPipeInputStream::NamedPipeInputStream(int32_t fileDescriptor, TextEncoding* encoding)
    : InputStream(encoding), fileDescriptor(fileDescriptor) {}

NamedPipeInputStream::~NamedPipeInputStream() {
    if ((useState.load() & CLOSING) == 0)
        ::close(fileDescriptor);
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

    // One blocking read, the least a message can cost; close() ends it by writing into this FIFO.
    ssize_t got;
    do {
        got = ::read(fileDescriptor, buffer, count);
    } while (got < 0 && errno == EINTR && (useState.load() & CLOSING) == 0);
    // Whatever arrived belongs to a stream that is being closed: it ends as a closed stream does.
    if (useState.load() & CLOSING)
        return 0;
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
    if (previous != 0)
        wakeReadsAndWait();
    if (::close(fileDescriptor) != 0)
        throw IOException(StringBuilder() + "Could not close named pipe: " + std::strerror(errno));
}

void NamedPipeInputStream::wakeReadsAndWait() {
    // Closing a descriptor does not end a read blocked on it. A byte written into the FIFO does: through a
    // second, writing descriptor of the same FIFO, which /proc reaches even when the FIFO's file is gone.
    const std::string self = "/proc/self/fd/" + std::to_string(fileDescriptor);
    const int wake = ::open(self.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (wake < 0)
        throw IOException(StringBuilder() + "Could not close named pipe: " + std::strerror(errno));
    // A read may take several bytes at once and leave other readers blocked: while readers remain, the FIFO
    // gets a byte whenever it is empty. Each reader that leaves changes the state and brings the next round.
    for (uint32_t state = useState.load(); state != CLOSING; state = useState.load()) {
        int pending = 0;
        if (::ioctl(fileDescriptor, FIONREAD, &pending) == 0 && pending == 0) {
            const unsigned char byte = 0;
            [[maybe_unused]] const ssize_t written = ::write(wake, &byte, 1);
        }
        useState.wait(state);
    }
    ::close(wake);
}

} // namespace base::core
