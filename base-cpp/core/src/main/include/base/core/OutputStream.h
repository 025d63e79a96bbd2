#pragma once

#include "base/core/EndianMode.h"
#include "base/core/Object.h"
#include "base/core/String.h"

#include <cstddef>
#include <cstdint>

namespace base::core {

class TextEncoding;

class OutputStream : public Object {
public:
    explicit OutputStream(TextEncoding* encoding = nullptr);

    virtual void writeByte(unsigned char byte);
    virtual void writeBytes(const unsigned char* bytes, size_t count) = 0;
    virtual bool canChangeTextEncoding() const { return true; }
    virtual void setTextEncoding(TextEncoding* encoding) { textEncoding = encoding; }
    virtual void writeString(const String& text, TextEncoding* encoding);
    virtual void writeString(const String& text);
    virtual void writeString(const char* utf8, TextEncoding* encoding);
    virtual void writeString(const char* utf8);
    virtual void writeChar(Char c, TextEncoding* encoding);
    virtual void writeChar(Char c);
    virtual void writeLine(const String& text, TextEncoding* encoding);
    virtual void writeLine(const char* utf8, TextEncoding* encoding);
    virtual void flush() {}
    virtual void close() {}
    // Ends the stream from any thread, also while another thread writes: nothing is flushed, a write in
    // progress or to come fails, and what the stream holds is let go by its last user. Safe more than once.
    virtual void abandon() {}

    void writeInt32(int value);
    void writeBinaryString(const String& text);
    void writeLine(const String& text);
    void writeLine(const char* utf8) { writeLine(utf8, textEncoding); }
    // For progress and error lines that must be seen at once, even if the process ends right after.
    void writeLineAndFlush(const String& text) {
        writeLine(text);
        flush();
    }
    void writeLineAndFlush(const char* utf8) {
        writeLine(utf8);
        flush();
    }
    // Raw native-order fields of the control channel.
    void writeInt32Native(int32_t value) { writeBytes(reinterpret_cast<const unsigned char*>(&value), 4); }
    void writeInt64Native(int64_t value) { writeBytes(reinterpret_cast<const unsigned char*>(&value), 8); }
    void writeFloat(float value) { writeBytes(reinterpret_cast<const unsigned char*>(&value), 4); }
    void writeBool(bool value) { writeByte(value ? 1 : 0); }

    TextEncoding* getTextEncoding() const { return textEncoding; }
    EndianMode getEndianMode() const { return endianMode; }

protected:
    TextEncoding* textEncoding;
    EndianMode endianMode = BigEndian;
};

} // namespace base::core
