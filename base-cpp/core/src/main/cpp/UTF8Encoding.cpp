#include "base/core/UTF8Encoding.h"

#include "base/core/IOException.h"
#include "base/core/InputStream.h"
#include "base/core/OutputStream.h"

namespace base::core {

void UTF8Encoding::writeChar(Char c, OutputStream* out) {
    unsigned char bytes[4];
    size_t n;
    if (c < 0x80) {
        bytes[0] = static_cast<unsigned char>(c);
        n = 1;
    } else if (c < 0x800) {
        bytes[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
        bytes[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        n = 2;
    } else if (c < 0x10000) {
        bytes[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
        bytes[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        bytes[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        n = 3;
    } else if (c <= 0x10FFFF) {
        bytes[0] = static_cast<unsigned char>(0xF0 | (c >> 18));
        bytes[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
        bytes[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        bytes[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        n = 4;
    } else {
        return;
    }
    out->writeBytes(bytes, n);
}

Char UTF8Encoding::readChar(InputStream* in) {
    const unsigned char first = in->readByte();
    if (first < 0x80)
        return first;
    int extra;
    Char c;
    if ((first & 0xE0) == 0xC0) {
        extra = 1;
        c = first & 0x1F;
    } else if ((first & 0xF0) == 0xE0) {
        extra = 2;
        c = first & 0x0F;
    } else if ((first & 0xF8) == 0xF0) {
        extra = 3;
        c = first & 0x07;
    } else {
        throw IOException("Invalid UTF8 encoding");
    }
    // Every byte of the sequence is read before any is checked, so a bad sequence is consumed whole.
    unsigned char rest[3];
    in->readReqBytes(rest, extra);
    for (int i = 0; i < extra; ++i) {
        if ((rest[i] & 0xC0) != 0x80)
            throw IOException("Invalid UTF8 encoding");
        c = (c << 6) | (rest[i] & 0x3F);
    }
    return c;
}

} // namespace base::core
