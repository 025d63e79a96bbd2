#include "base/core/MemoryInputStream.h"

#include <algorithm>
#include <cstring>

namespace base::core {

MemoryInputStream::MemoryInputStream(const void* bytes, size_t size, TextEncoding* encoding)
    : InputStream(encoding), bytes(static_cast<const unsigned char*>(bytes)), size(size) {}

size_t MemoryInputStream::readBytes(unsigned char* buffer, size_t count) {
    const size_t n = std::min(size - position, count);
    if (n > 0)
        std::memcpy(buffer, bytes + position, n);
    position += n;
    return n;
}

} // namespace base::core
