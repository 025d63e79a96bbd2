#pragma once

#include "base/core/InputStream.h"
#include "base/core/SmartPtr.h"

#include <cstdio>

namespace base::core {

class FileInputStream : public InputStream {
public:
    static SmartPtr<FileInputStream> create(const String& nativePath, TextEncoding* encoding = nullptr);
    ~FileInputStream() override;

    size_t readBytes(unsigned char* buffer, size_t count) override;
    void close() override;

private:
    FileInputStream(std::FILE* file, const String& path, TextEncoding* encoding);

    std::FILE* file;
    String path;
};

} // namespace base::core
