#pragma once

#include "base/core/OutputStream.h"
#include "base/core/RecursiveMutex.h"
#include "base/core/SmartPtr.h"

#include <ostream>

namespace base::core {

// Serialises writes, lines and flushes so that whole lines from several threads never interleave.
class StdOutputStream : public OutputStream {
public:
    explicit StdOutputStream(std::ostream& stream);

    void writeBytes(const unsigned char* bytes, size_t count) override;
    void writeLine(const String& text, TextEncoding* encoding) override;
    void writeLine(const char* utf8, TextEncoding* encoding) override;
    void flush() override;
    using OutputStream::writeLine;

private:
    std::ostream& stream;
    RecursiveMutex mutex;
};

// The process-wide streams over standard output and standard error.
OutputStream* getOut();
OutputStream* getError();

} // namespace base::core
