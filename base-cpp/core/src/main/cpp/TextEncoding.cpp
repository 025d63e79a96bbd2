#include "base/core/TextEncoding.h"

#include "base/core/ASCIIEncoding.h"
#include "base/core/EOSException.h"
#include "base/core/InputStream.h"
#include "base/core/Latin1Encoding.h"
#include "base/core/OutputStream.h"
#include "base/core/StringBuilder.h"
#include "base/core/UTF16BEEncoding.h"
#include "base/core/UTF16LEEncoding.h"
#include "base/core/UTF8Encoding.h"

#include <cstring>

namespace base::core {

namespace {
UTF8Encoding utf8Encoding;
ASCIIEncoding asciiEncoding;
Latin1Encoding latin1Encoding;
UTF16BEEncoding utf16BEEncoding;
UTF16LEEncoding utf16LEEncoding;
} // namespace

TextEncoding* const gUTF8 = &utf8Encoding;
TextEncoding* const gASCII = &asciiEncoding;
TextEncoding* const gLatin1 = &latin1Encoding;
TextEncoding* const gUTF16BE = &utf16BEEncoding;
TextEncoding* const gUTF16LE = &utf16LEEncoding;

TextEncoding* TextEncoding::getASCII() {
    return gASCII;
}
TextEncoding* TextEncoding::getUTF16BE() {
    return gUTF16BE;
}

void TextEncoding::writeString(const String& text, OutputStream* out) {
    const Char* chars = text.getChars();
    for (int i = 0, n = text.length(); i < n; ++i)
        writeChar(chars[i], out);
}

void TextEncoding::writeString(const char* utf8, OutputStream* out) {
    writeString(String(utf8), out);
}

size_t TextEncoding::byteLen(const void* bytes) const {
    return std::strlen(static_cast<const char*>(bytes));
}

String TextEncoding::readString(InputStream* in, int maxChars) {
    return readUntil(in, false, 0, maxChars);
}

String TextEncoding::readStringUptoChar(InputStream* in, Char stop, int maxChars) {
    return readUntil(in, true, stop, maxChars);
}

String TextEncoding::readUntil(InputStream* in, bool useStop, Char stop, int maxChars) {
    // Collect in a local block so that long reads grow the builder in few steps.
    constexpr int BLOCK = 4096;
    Char block[BLOCK];
    int inBlock = 0;
    int stored = 0;
    StringBuilder builder;
    try {
        while (maxChars < 0 || stored < maxChars) {
            Char c = readChar(in);
            if (c == 0 || (useStop && c == stop))
                break;
            block[inBlock++] = c;
            ++stored;
            if (inBlock == BLOCK) {
                builder.append(block, inBlock);
                inBlock = 0;
            }
        }
    } catch (const EOSException&) {
        // The end of the stream ends the string quietly.
    }
    builder.append(block, inBlock);
    return builder.toString();
}

} // namespace base::core
