#pragma once

#include "base/core/EndianMode.h"
#include "base/core/Object.h"
#include "base/core/String.h"

#include <cstddef>
#include <cstdint>

namespace base::core {

class TextEncoding;

class InputStream : public Object {
public:
    explicit InputStream(TextEncoding* encoding = nullptr);

    // One byte; EOSException when none is left.
    virtual unsigned char readByte();
    // At most `count` bytes; 0 means end of stream.
    virtual size_t readBytes(unsigned char* buffer, size_t count) = 0;
    virtual void skipBytes(size_t count);
    virtual size_t numBytesAvailable() const { return 0; }
    virtual void close() {}
    virtual bool canChangeTextEncoding() const { return true; }
    virtual void setTextEncoding(TextEncoding* encoding) { textEncoding = encoding; }
    virtual Char readChar(TextEncoding* encoding);
    virtual Char readChar();
    virtual String readStringUptoChar(TextEncoding* encoding, Char stop, int maxChars);
    virtual String readString(TextEncoding* encoding, int maxChars);
    virtual String readLine(TextEncoding* encoding);
    virtual String readLine();

    // Exactly `count` bytes, or EOSException.
    void readReqBytes(unsigned char* buffer, size_t count);
    int32_t readInt32();
    int32_t readInt32(EndianMode mode);
    int32_t readInt32BE();
    int32_t readInt32LE();
    int32_t readInt32Native();
    int64_t readInt64Native();
    bool readBool();
    float readFloat();
    String readBinaryString();

    TextEncoding* getTextEncoding() const { return textEncoding; }
    EndianMode getEndianMode() const { return endianMode; }

protected:
    TextEncoding* textEncoding;
    EndianMode endianMode = BigEndian;
};

} // namespace base::core
