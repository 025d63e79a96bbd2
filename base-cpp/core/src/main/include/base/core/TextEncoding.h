#pragma once

#include "base/core/String.h"

namespace base::core {

class InputStream;
class OutputStream;

// Turns characters into bytes on an output stream and back. Encodings are stateless and shared.
class TextEncoding {
public:
    virtual ~TextEncoding() = default;

    virtual void writeChar(Char c, OutputStream* out) = 0;
    virtual void writeString(const String& text, OutputStream* out);
    virtual void writeString(const char* utf8, OutputStream* out);
    virtual Char readChar(InputStream* in) = 0;
    // Reads up to maxChars characters (negative: no limit), stopping at a 0 character or the end.
    virtual String readString(InputStream* in, int maxChars);
    virtual String readStringUptoChar(InputStream* in, Char stop, int maxChars);
    virtual int getMinCharSizeInBytes() const = 0;
    virtual int getMaxCharSizeInBytes() const = 0;
    // Bytes before the terminator of a zero-terminated string in this encoding.
    virtual size_t byteLen(const void* bytes) const;

    static TextEncoding* getASCII();
    static TextEncoding* getUTF16BE();

private:
    String readUntil(InputStream* in, bool useStop, Char stop, int maxChars);
};

extern TextEncoding* const gUTF8;
extern TextEncoding* const gASCII;
extern TextEncoding* const gLatin1;
extern TextEncoding* const gUTF16BE;
// Made where needed (strings from 16-bit arrays); shared like the others.
extern TextEncoding* const gUTF16LE;

} // namespace base::core
