#pragma once

#include "base/core/TextEncoding.h"

namespace base::core {

class Latin1Encoding : public TextEncoding {
public:
    void writeChar(Char c, OutputStream* out) override;
    Char readChar(InputStream* in) override;
    int getMinCharSizeInBytes() const override { return 1; }
    int getMaxCharSizeInBytes() const override { return 4; }
};

} // namespace base::core
