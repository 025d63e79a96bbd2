#include "base/core/OutputStream.h"

#include "base/core/Assertion.h"
#include "base/core/TextEncoding.h"

namespace base::core {

OutputStream::OutputStream(TextEncoding* encoding) : textEncoding(encoding ? encoding : gUTF8) {}

void OutputStream::writeByte(unsigned char byte) {
    writeBytes(&byte, 1);
}

void OutputStream::writeString(const String& text, TextEncoding* encoding) {
    encoding->writeString(text, this);
}
void OutputStream::writeString(const String& text) {
    writeString(text, textEncoding);
}
void OutputStream::writeString(const char* utf8, TextEncoding* encoding) {
    encoding->writeString(utf8, this);
}
void OutputStream::writeString(const char* utf8) {
    writeString(utf8, textEncoding);
}
void OutputStream::writeChar(Char c, TextEncoding* encoding) {
    encoding->writeChar(c, this);
}
void OutputStream::writeChar(Char c) {
    writeChar(c, textEncoding);
}

void OutputStream::writeLine(const String& text, TextEncoding* encoding) {
    writeString(text, encoding);
    writeChar('\n', encoding);
    flush();
}

void OutputStream::writeLine(const char* utf8, TextEncoding* encoding) {
    writeString(utf8, encoding);
    writeChar('\n', encoding);
    flush();
}

void OutputStream::writeLine(const String& text) {
    writeLine(text, textEncoding);
}

void OutputStream::writeInt32(int value) {
    const auto v = static_cast<uint32_t>(value);
    switch (endianMode) {
    case BigEndian:
        writeByte(static_cast<unsigned char>(v >> 24));
        writeByte(static_cast<unsigned char>(v >> 16));
        writeByte(static_cast<unsigned char>(v >> 8));
        writeByte(static_cast<unsigned char>(v));
        break;
    case LittleEndian:
        writeByte(static_cast<unsigned char>(v));
        writeByte(static_cast<unsigned char>(v >> 8));
        writeByte(static_cast<unsigned char>(v >> 16));
        writeByte(static_cast<unsigned char>(v >> 24));
        break;
    case NativeEndian:
        writeBytes(reinterpret_cast<const unsigned char*>(&value), 4);
        break;
    default: {
        static bool ignoreFlag = false;
        illegalState("Unknown endian mode", "base-cpp/core/src/main/cpp/OutputStream", 273, ignoreFlag);
    }
    }
}

void OutputStream::writeBinaryString(const String& text) {
    const int n = text.length();
    const Char* chars = text.getChars();
    bool ascii = true;
    int units = 0;
    for (int i = 0; i < n; ++i) {
        ascii = ascii && chars[i] < 128;
        units += chars[i] >= 0x10000 ? 2 : 1;
    }
    if (ascii) {
        writeInt32(n);
        writeString(text, gASCII);
    } else {
        writeInt32(static_cast<int>(static_cast<uint32_t>(units) | 0x80000000u));
        writeString(text, gUTF16BE);
    }
}

} // namespace base::core
