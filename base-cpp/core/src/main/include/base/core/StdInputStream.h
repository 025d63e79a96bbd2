#pragma once

#include "base/core/InputStream.h"
#include "base/core/SmartPtr.h"

#include <istream>

namespace base::core {

class StdInputStream : public InputStream {
public:
    explicit StdInputStream(std::istream& stream);

    size_t readBytes(unsigned char* buffer, size_t count) override;

private:
    std::istream& stream;
};

// The process-wide stream over standard input.
SmartPtr<InputStream> getIn();

} // namespace base::core
