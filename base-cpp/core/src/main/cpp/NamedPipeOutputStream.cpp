#include "base/core/NamedPipeOutputStream.h"

#include "base/core/IOException.h"
#include "base/core/StringBuilder.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace base::core {

NamedPipeOutputStream::NamedPipeOutputStream(int32_t fileDescriptor, TextEncoding* encoding)
    : OutputStream(encoding), fileDescriptor(fileDescriptor) {}

NamedPipeOutputStream::~NamedPipeOutputStream() {
    if (!closed)
        ::close(fileDescriptor);
}

void NamedPipeOutputStream::writeBytes(const unsigned char* bytes, size_t count) {
    if (closed)
        throw IOException(StringBuilder() + "Error writing to named pipe: " + std::strerror(EBADF));
    while (count > 0) {
        const ssize_t written = ::write(fileDescriptor, bytes, count);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw IOException(StringBuilder() + "Error writing to named pipe: " + std::strerror(errno));
        }
        bytes += written;
        count -= static_cast<size_t>(written);
    }
}

void NamedPipeOutputStream::close() {
    if (closed)
        throw IOException(StringBuilder() + "Could not close named pipe: " + std::strerror(EBADF));
    closed = true;
    if (::close(fileDescriptor) != 0)
        throw IOException(StringBuilder() + "Could not close named pipe: " + std::strerror(errno));
}

} // namespace base::core
