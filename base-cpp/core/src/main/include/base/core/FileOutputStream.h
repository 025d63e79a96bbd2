#pragma once

#include "base/core/OutputStream.h"
#include "base/core/SmartPtr.h"

#include <cstdio>

namespace base::core {

class FileOutputStream : public OutputStream {
public:
    // The file stream wrapped in a 1024-byte BufferedOutputStream.
    static SmartPtr<OutputStream> create(const String& nativePath, TextEncoding* encoding = nullptr);
    ~FileOutputStream() override;

    void writeBytes(const unsigned char* bytes, size_t count) override;
    void flush() override;
    void close() override;

private:
    FileOutputStream(std::FILE* file, const String& path, TextEncoding* encoding);

    std::FILE* file;
    String path;
};

} // namespace base::core
