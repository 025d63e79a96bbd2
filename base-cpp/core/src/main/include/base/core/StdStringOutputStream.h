#pragma once

#include "base/core/OutputStream.h"

#include <string>

namespace base::core {

// Appends every byte to a caller's std::string; always UTF-8.
class StdStringOutputStream : public OutputStream {
public:
    explicit StdStringOutputStream(std::string& target);

    void writeBytes(const unsigned char* bytes, size_t count) override;
    bool canChangeTextEncoding() const override { return false; }
    void setTextEncoding(TextEncoding*) override {}

private:
    std::string& target;
};

} // namespace base::core
