#include "base/core/ASCIIEncoding.h"

#include "base/core/IOException.h"
#include "base/core/InputStream.h"
#include "base/core/OutputStream.h"
#include "base/core/StringBuilder.h"

#include <cstdio>

namespace base::core {

void ASCIIEncoding::writeChar(Char c, OutputStream* out) {
    if (c >= 0x80)
        throw IOException(StringBuilder() + "Character '" + c + "' cannot be encoded in ASCII format");
    out->writeByte(static_cast<unsigned char>(c));
}

Char ASCIIEncoding::readChar(InputStream* in) {
    const unsigned char byte = in->readByte();
    if (byte >= 0x80) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%x", byte);
        throw IOException(StringBuilder() + "Invalid ASCII byte: " + hex);
    }
    return byte;
}

} // namespace base::core
