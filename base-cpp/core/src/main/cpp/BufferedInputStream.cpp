#include "base/core/BufferedInputStream.h"

#include <algorithm>
#include <cstring>

namespace base::core {

BufferedInputStream::BufferedInputStream(const SmartPtr<InputStream>& wrapped, size_t capacity)
    : InputStream(wrapped->getTextEncoding()), wrapped(wrapped), buffer(new unsigned char[capacity]),
      capacity(capacity) {}

size_t BufferedInputStream::readBytes(unsigned char* dst, size_t count) {
    if (readPos < fill) {
        const size_t n = std::min(fill - readPos, count);
        std::memcpy(dst, buffer.get() + readPos, n);
        readPos += n;
        return n;
    }
    readPos = 0;
    if (capacity < count) {
        fill = 0;
        return wrapped->readBytes(dst, count);
    }
    fill = wrapped->readBytes(buffer.get(), capacity);
    if (fill == 0)
        return 0;
    const size_t n = std::min(fill, count);
    std::memcpy(dst, buffer.get(), n);
    readPos = n;
    return n;
}

size_t BufferedInputStream::numBytesAvailable() const {
    return wrapped->numBytesAvailable() + (fill - readPos);
}

void BufferedInputStream::close() {
    wrapped->close();
}

bool BufferedInputStream::canChangeTextEncoding() const {
    return wrapped->canChangeTextEncoding();
}

void BufferedInputStream::setTextEncoding(TextEncoding* encoding) {
    InputStream::setTextEncoding(encoding);
    wrapped->setTextEncoding(encoding);
}

} // namespace base::core
