#include "base/core/UTF16Encoding.h"

#include "base/core/InputStream.h"
#include "base/core/OutputStream.h"

namespace base::core {

void UTF16Encoding::writeUnit(Char unit, OutputStream* out) const {
    const auto high = static_cast<unsigned char>(unit >> 8), low = static_cast<unsigned char>(unit);
    const unsigned char bytes[2] = {bigEndian ? high : low, bigEndian ? low : high};
    out->writeBytes(bytes, 2);
}

Char UTF16Encoding::readUnit(InputStream* in) const {
    unsigned char bytes[2];
    in->readReqBytes(bytes, 2);
    return bigEndian ? static_cast<Char>((bytes[0] << 8) | bytes[1])
                     : static_cast<Char>(bytes[0] | (bytes[1] << 8));
}

void UTF16Encoding::writeChar(Char c, OutputStream* out) {
    if (c < 0x10000) {
        writeUnit(c, out);
    } else {
        const Char v = c - 0x10000;
        writeUnit(0xD800 + ((v >> 10) & 0x3FF), out);
        writeUnit(0xDC00 + (v & 0x3FF), out);
    }
}

Char UTF16Encoding::readChar(InputStream* in) {
    const Char first = readUnit(in);
    if (first < 0xD800 || first > 0xDBFF)
        return first;
    // The second unit is taken as the low surrogate without checking it.
    const Char second = readUnit(in);
    return 0x10000 + ((first - 0xD800) << 10) + ((second - 0xDC00) & 0x3FF);
}

size_t UTF16Encoding::byteLen(const void* bytes) const {
    auto* p = static_cast<const unsigned char*>(bytes);
    size_t n = 0;
    while (p[n] != 0 || p[n + 1] != 0)
        n += 2;
    return n;
}

} // namespace base::core
