#pragma once

#include "base/core/TextEncoding.h"

namespace base::core {

// UTF-16 in either byte order; surrogate pairs for characters above 0xFFFF, high unit first.
class UTF16Encoding : public TextEncoding {
public:
    void writeChar(Char c, OutputStream* out) override;
    Char readChar(InputStream* in) override;
    int getMinCharSizeInBytes() const override { return 2; }
    int getMaxCharSizeInBytes() const override { return 2; }
    size_t byteLen(const void* bytes) const override;

protected:
    explicit UTF16Encoding(bool bigEndian) : bigEndian(bigEndian) {}

private:
    void writeUnit(Char unit, OutputStream* out) const;
    Char readUnit(InputStream* in) const;

    const bool bigEndian;
};

} // namespace base::core
