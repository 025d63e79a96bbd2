#pragma once

#include "base/core/OutputStream.h"
#include "base/core/SmartPtr.h"

#include <memory>

namespace base::core {

// Destruction does not flush: bytes not flushed are lost.
class BufferedOutputStream : public OutputStream {
public:
    BufferedOutputStream(const SmartPtr<OutputStream>& wrapped, size_t capacity);

    void writeBytes(const unsigned char* bytes, size_t count) override;
    bool canChangeTextEncoding() const override;
    void setTextEncoding(TextEncoding* encoding) override;
    void flush() override;
    void close() override;
    // The buffer stays as it is for the writing thread; only the wrapped stream ends.
    void abandon() override;

private:
    SmartPtr<OutputStream> wrapped;
    std::unique_ptr<unsigned char[]> buffer;
    size_t capacity;
    size_t used = 0;
};

} // namespace base::core
