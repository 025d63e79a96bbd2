#pragma once

#include "base/core/UTF16Encoding.h"

namespace base::core {

class UTF16LEEncoding : public UTF16Encoding {
public:
    UTF16LEEncoding() : UTF16Encoding(false) {}
};

} // namespace base::core
