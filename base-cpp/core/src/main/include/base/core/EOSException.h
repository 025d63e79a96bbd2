#pragma once

#include "base/core/IOException.h"

namespace base::core {

// End of data in the middle of a read; its message is always "End of stream".
class EOSException : public IOException {
public:
    EOSException();
    EOSException(const EOSException& other) = default;
    Exception* clone() const override { return new EOSException(*this); }
    [[noreturn]] void raise() const override { throw EOSException(*this); }
};

} // namespace base::core
