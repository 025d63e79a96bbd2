#include "base/core/BufferedOutputStream.h"

#include <cstring>

namespace base::core {

BufferedOutputStream::BufferedOutputStream(const SmartPtr<OutputStream>& wrapped, size_t capacity)
    : OutputStream(wrapped->getTextEncoding()), wrapped(wrapped), buffer(new unsigned char[capacity]),
      capacity(capacity) {}

void BufferedOutputStream::writeBytes(const unsigned char* src, size_t count) {
    if (capacity - used >= count) {
        std::memcpy(buffer.get() + used, src, count);
        used += count;
        return;
    }
    if (used > 0) {
        // Reset first: if the write fails, the bytes are not written twice by a later flush.
        const size_t pending = used;
        used = 0;
        wrapped->writeBytes(buffer.get(), pending);
    }
    if (count >= capacity) {
        wrapped->writeBytes(src, count);
    } else {
        std::memcpy(buffer.get(), src, count);
        used = count;
    }
}

bool BufferedOutputStream::canChangeTextEncoding() const {
    return wrapped->canChangeTextEncoding();
}

void BufferedOutputStream::setTextEncoding(TextEncoding* encoding) {
    OutputStream::setTextEncoding(encoding);
    wrapped->setTextEncoding(encoding);
}

void BufferedOutputStream::flush() {
    if (used > 0) {
        const size_t pending = used;
        used = 0;
        wrapped->writeBytes(buffer.get(), pending);
    }
    wrapped->flush();
}

void BufferedOutputStream::close() {
    flush();
    wrapped->close();
}

void BufferedOutputStream::abandon() {
    wrapped->abandon();
}

} // namespace base::core
