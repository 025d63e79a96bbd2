#pragma once

#include "base/core/UTF16Encoding.h"

namespace base::core {

class UTF16BEEncoding : public UTF16Encoding {
public:
    UTF16BEEncoding() : UTF16Encoding(true) {}
};

} // namespace base::core
