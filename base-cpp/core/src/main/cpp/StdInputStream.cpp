#include "base/core/StdInputStream.h"

#include "base/core/IOException.h"

#include <iostream>

namespace base::core {

StdInputStream::StdInputStream(std::istream& stream) : stream(stream) {}

size_t StdInputStream::readBytes(unsigned char* buffer, size_t count) {
    if (count == 0 || stream.eof())
        return 0;
    auto* dst = reinterpret_cast<char*>(buffer);
    // What the stream has buffered already comes first, without blocking.
    const std::streamsize buffered = stream.readsome(dst, static_cast<std::streamsize>(count));
    if (buffered > 0)
        return static_cast<size_t>(buffered);
    stream.read(dst, 1);
    if (stream.gcount() == 0) {
        if (stream.bad() || (stream.fail() && !stream.eof()))
            throw IOException("Error reading from stream");
        return 0;
    }
    // One byte blocks until input arrives; whatever came with it is taken too.
    const std::streamsize more =
        count > 1 ? stream.readsome(dst + 1, static_cast<std::streamsize>(count - 1)) : 0;
    return 1 + static_cast<size_t>(more > 0 ? more : 0);
}

SmartPtr<InputStream> getIn() {
    static SmartPtr<InputStream> in(new StdInputStream(std::cin));
    return in;
}

} // namespace base::core
