#include "base/core/NamedPipeOutputStream.h"

#include "base/core/IOException.h"
#include "base/core/StringBuilder.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <pthread.h>
#include <unistd.h>

namespace base::core {

namespace {

bool processIgnoresBrokenPipes() {
    struct sigaction current {};
    return sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

} // namespace

NamedPipeOutputStream::NamedPipeOutputStream(int32_t fileDescriptor, TextEncoding* encoding)
    : OutputStream(encoding), fileDescriptor(fileDescriptor), suppressSignal(!processIgnoresBrokenPipes()) {}

NamedPipeOutputStream::~NamedPipeOutputStream() {
    releaseDescriptor();
}

int NamedPipeOutputStream::releaseDescriptor() noexcept {
    if (released.exchange(true))
        return 0;
    return ::close(fileDescriptor);
}

void NamedPipeOutputStream::leaveWrite() noexcept {
    // The last write to leave after closing has begun lets the descriptor go.
    if (useState.fetch_sub(1) == (CLOSING | 1u))
        releaseDescriptor();
}

ssize_t NamedPipeOutputStream::writeWithoutSignal(const unsigned char* bytes, size_t count) {
    if (!suppressSignal)
        return ::write(fileDescriptor, bytes, count);
    // A host that dies must not take its client with it: SIGPIPE is held back on this thread for the write,
    // and one that the write raised is taken back before the thread's own mask returns. The process's
    // handling of the signal is never changed.
    sigset_t brokenPipe, previous;
    sigemptyset(&brokenPipe);
    sigaddset(&brokenPipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &brokenPipe, &previous);
    const ssize_t written = ::write(fileDescriptor, bytes, count);
    const int error = errno;
    if (written < 0 && error == EPIPE && !sigismember(&previous, SIGPIPE)) {
        const timespec now{0, 0};
        while (sigtimedwait(&brokenPipe, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return written;
}

void NamedPipeOutputStream::writeBytes(const unsigned char* bytes, size_t count) {
    if (useState.fetch_add(1) & CLOSING) {
        leaveWrite();
        throw IOException(StringBuilder() + "Error writing to named pipe: " + std::strerror(EBADF));
    }
    struct WriteScope {
        NamedPipeOutputStream& stream;
        ~WriteScope() { stream.leaveWrite(); }
    } scope{*this};
    while (count > 0) {
        const ssize_t written = writeWithoutSignal(bytes, count);
        if (written < 0) {
            if (errno == EINTR && (useState.load() & CLOSING) == 0)
                continue;
            throw IOException(StringBuilder() + "Error writing to named pipe: " + std::strerror(errno));
        }
        bytes += written;
        count -= static_cast<size_t>(written);
    }
}

void NamedPipeOutputStream::close() {
    const uint32_t previous = useState.fetch_or(CLOSING);
    if (previous & CLOSING)
        throw IOException(StringBuilder() + "Could not close named pipe: " + std::strerror(EBADF));
    // With a write in progress (on another thread), that write lets the descriptor go when it leaves.
    if (previous == 0 && releaseDescriptor() != 0)
        throw IOException(StringBuilder() + "Could not close named pipe: " + std::strerror(errno));
}

void NamedPipeOutputStream::abandon() {
    if (useState.fetch_or(CLOSING) == 0)
        releaseDescriptor();
}

} // namespace base::core
