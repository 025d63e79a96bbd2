#pragma once

#include "base/core/InputStream.h"
#include "base/core/SmartPtr.h"

namespace base::core {

// Reads the chunks of a RIFF file; the user walks from chunk to chunk with readChunkHeader().
class RIFFInputStream : public InputStream {
public:
    explicit RIFFInputStream(const SmartPtr<InputStream>& wrapped);

    void readChunkHeader();
    size_t readBytes(unsigned char* buffer, size_t count) override;
    void skipBytes(size_t count) override;
    void close() override;

    const String& getChunkId() const { return chunkId; }
    uint32_t getChunkSize() const { return chunkSize; }
    uint32_t getPositionInChunk() const { return positionInChunk; }
    uint32_t getOffset() const { return offset; }
    void setOffset(uint32_t value) { offset = value; }
    uint32_t getSize() const { return size; }
    void setSize(uint32_t value) { size = value; }
    bool isAtEnd() const { return endFlag; }
    void setAtEnd(bool value) { endFlag = value; }

private:
    SmartPtr<InputStream> wrapped;
    uint32_t size = 0;
    String chunkId;
    uint32_t chunkSize = 0;
    uint32_t offset = 0;
    uint32_t positionInChunk = 0;
    bool endFlag = false;
};

} // namespace base::core
