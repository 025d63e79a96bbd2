#include "base/core/InputStream.h"

#include "base/core/EOSException.h"
#include "base/core/MemoryInputStream.h"
#include "base/core/StringBuilder.h"
#include "base/core/TextEncoding.h"

#include <cstring>
#include <memory>
#include <new>

namespace base::core {

InputStream::InputStream(TextEncoding* encoding) : textEncoding(encoding ? encoding : gUTF8) {}

unsigned char InputStream::readByte() {
    unsigned char byte;
    if (readBytes(&byte, 1) == 0)
        throw EOSException();
    return byte;
}

void InputStream::skipBytes(size_t count) {
    unsigned char scratch[1024];
    while (count > 0) {
        const size_t piece = count < sizeof scratch ? count : sizeof scratch;
        const size_t got = readBytes(scratch, piece);
        if (got == 0)
            throw EOSException();
        count -= got;
    }
}

Char InputStream::readChar(TextEncoding* encoding) {
    return encoding->readChar(this);
}
Char InputStream::readChar() {
    return readChar(textEncoding);
}

String InputStream::readStringUptoChar(TextEncoding* encoding, Char stop, int maxChars) {
    return encoding->readStringUptoChar(this, stop, maxChars);
}

String InputStream::readString(TextEncoding* encoding, int maxChars) {
    return encoding->readString(this, maxChars);
}
String InputStream::readLine(TextEncoding* encoding) {
    return readStringUptoChar(encoding, '\n', -1);
}
String InputStream::readLine() {
    return readLine(textEncoding);
}

void InputStream::readReqBytes(unsigned char* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
        const size_t got = readBytes(buffer + done, count - done);
        if (got == 0)
            throw EOSException();
        done += got;
    }
}

int32_t InputStream::readInt32() {
    return readInt32(endianMode);
}

int32_t InputStream::readInt32(EndianMode mode) {
    switch (mode) {
    case BigEndian:
        return readInt32BE();
    case LittleEndian:
        return readInt32LE();
    default:
        return readInt32Native();
    }
}

int32_t InputStream::readInt32BE() {
    unsigned char b[4];
    readReqBytes(b, 4);
    return static_cast<int32_t>((uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) |
                                b[3]);
}

int32_t InputStream::readInt32LE() {
    unsigned char b[4];
    readReqBytes(b, 4);
    return static_cast<int32_t>((uint32_t(b[3]) << 24) | (uint32_t(b[2]) << 16) | (uint32_t(b[1]) << 8) |
                                b[0]);
}

int32_t InputStream::readInt32Native() {
    int32_t value;
    readReqBytes(reinterpret_cast<unsigned char*>(&value), 4);
    return value;
}

int64_t InputStream::readInt64Native() {
    int64_t value;
    readReqBytes(reinterpret_cast<unsigned char*>(&value), 8);
    return value;
}

bool InputStream::readBool() {
    switch (readByte()) {
    case 0:
        return false;
    case 1:
        return true;
    default:
        throw IOException("Unexpected value for bool");
    }
}

float InputStream::readFloat() {
    float value;
    readReqBytes(reinterpret_cast<unsigned char*>(&value), 4);
    return value;
}

String InputStream::readBinaryString() {
    const uint32_t header = static_cast<uint32_t>(readInt32());
    const uint32_t units = header & 0x7FFFFFFFu;
    if (units == 0)
        return String();
    const bool utf16 = (header & 0x80000000u) != 0;
    const uint32_t byteCount = utf16 ? units * 2 : units;
    // Short strings, the usual case on the control channel, decode from the stack.
    unsigned char stackBuffer[1023];
    std::unique_ptr<unsigned char[]> heapBuffer;
    unsigned char* bytes = stackBuffer;
    if (byteCount <= sizeof stackBuffer) {
        readReqBytes(bytes, byteCount);
    } else {
        // Grow with the data that actually arrives, so that a garbled header on a short stream ends in
        // "End of stream" instead of a multi-gigabyte allocation.
        constexpr uint32_t STEP = 1 << 20;
        uint32_t capacity = 0, received = 0;
        while (received < byteCount) {
            if (received == capacity) {
                const uint32_t grown = byteCount - capacity > STEP ? capacity + STEP : byteCount;
                std::unique_ptr<unsigned char[]> larger(new (std::nothrow) unsigned char[grown]);
                if (!larger)
                    throw IOException(StringBuilder() + "Could not allocate " +
                                      static_cast<unsigned long>(byteCount) + " bytes for reading a string");
                if (received > 0)
                    std::memcpy(larger.get(), heapBuffer.get(), received);
                heapBuffer = std::move(larger);
                capacity = grown;
            }
            const size_t got = readBytes(heapBuffer.get() + received, capacity - received);
            if (got == 0)
                throw EOSException();
            received += static_cast<uint32_t>(got);
        }
        bytes = heapBuffer.get();
    }
    // What cannot be decoded (a byte above 127, a surrogate pair cut off by the end) is replaced: text from a
    // peer must never end the reader.
    TextEncoding* encoding = utf16 ? gUTF16BE : gASCII;
    MemoryInputStream body(bytes, byteCount, encoding);
    StringBuilder text;
    while (body.numBytesAvailable() > 0) {
        Char c;
        try {
            c = encoding->readChar(&body);
        } catch (const IOException&) {
            c = 0xFFFD;
        }
        if (c == 0)
            break;
        text.append(c);
    }
    return text.toString();
}

} // namespace base::core
