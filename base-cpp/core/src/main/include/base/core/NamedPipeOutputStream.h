#pragma once

#include "base/core/OutputStream.h"

#include <cstdint>

namespace base::core {

// The writing end of one FIFO.
class NamedPipeOutputStream : public OutputStream {
public:
    // Takes ownership of the FIFO descriptor opened for writing.
    explicit NamedPipeOutputStream(int32_t fileDescriptor, TextEncoding* encoding = nullptr);
    ~NamedPipeOutputStream() override;

    // Writes all `count` bytes, repeating after partial writes.
    void writeBytes(const unsigned char* bytes, size_t count) override;
    // Closes the descriptor once; a second close fails.
    void close() override;

private:
    int32_t fileDescriptor;
    bool closed = false;
};

} // namespace base::core
