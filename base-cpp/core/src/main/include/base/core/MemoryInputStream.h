#pragma once

#include "base/core/InputStream.h"

namespace base::core {

// Reads a borrowed byte range; the bytes must outlive the stream.
class MemoryInputStream : public InputStream {
public:
    MemoryInputStream(const void* bytes, size_t size, TextEncoding* encoding = nullptr);

    size_t readBytes(unsigned char* buffer, size_t count) override;
    size_t numBytesAvailable() const override { return size - position; }

private:
    const unsigned char* bytes;
    size_t size;
    size_t position = 0;
};

} // namespace base::core
