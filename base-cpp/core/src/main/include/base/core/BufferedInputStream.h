#pragma once

#include "base/core/InputStream.h"
#include "base/core/SmartPtr.h"

#include <memory>

namespace base::core {

class BufferedInputStream : public InputStream {
public:
    BufferedInputStream(const SmartPtr<InputStream>& wrapped, size_t capacity);

    size_t readBytes(unsigned char* buffer, size_t count) override;
    size_t numBytesAvailable() const override;
    void close() override;
    bool canChangeTextEncoding() const override;
    void setTextEncoding(TextEncoding* encoding) override;

private:
    SmartPtr<InputStream> wrapped;
    std::unique_ptr<unsigned char[]> buffer;
    size_t capacity;
    size_t readPos = 0;
    size_t fill = 0;
};

} // namespace base::core
