#include "base/core/RIFFInputStream.h"

#include "base/core/EOSException.h"
#include "base/core/StringBuilder.h"
#include "base/core/TextEncoding.h"

#include <algorithm>

namespace base::core {

RIFFInputStream::RIFFInputStream(const SmartPtr<InputStream>& wrapped)
    : InputStream(wrapped->getTextEncoding()), wrapped(wrapped) {}

void RIFFInputStream::readChunkHeader() {
    unsigned char id[4];
    wrapped->readReqBytes(id, 4);
    StringBuilder text;
    text.append(id, 4, gLatin1);
    chunkId = text.toString();
    uint32_t chunkLength = static_cast<uint32_t>(wrapped->readInt32LE());
    chunkSize = chunkLength + (chunkLength & 1);
    offset += 8;
    positionInChunk = 0;
}

size_t RIFFInputStream::readBytes(unsigned char* buffer, size_t count) {
    if (endFlag)
        throw EOSException();
    const size_t rest = chunkSize - positionInChunk;
    if (rest == 0)
        return 0;
    const size_t got = wrapped->readBytes(buffer, std::min(rest, count));
    offset += static_cast<uint32_t>(got);
    positionInChunk += static_cast<uint32_t>(got);
    return got;
}

void RIFFInputStream::skipBytes(size_t count) {
    if (endFlag)
        throw EOSException();
    if (positionInChunk + count > chunkSize)
        throw IOException("Skipping beyond end of current chunk");
    wrapped->skipBytes(count);
    offset += static_cast<uint32_t>(count);
    positionInChunk += static_cast<uint32_t>(count);
}

void RIFFInputStream::close() {
    wrapped->close();
}

} // namespace base::core
