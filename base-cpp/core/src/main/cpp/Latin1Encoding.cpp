#include "base/core/Latin1Encoding.h"

#include "base/core/InputStream.h"
#include "base/core/OutputStream.h"

namespace base::core {

void Latin1Encoding::writeChar(Char c, OutputStream* out) {
    out->writeByte(c <= 255 ? static_cast<unsigned char>(c) : '?');
}

Char Latin1Encoding::readChar(InputStream* in) {
    return in->readByte();
}

} // namespace base::core
