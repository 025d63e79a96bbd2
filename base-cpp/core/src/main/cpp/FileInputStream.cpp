#include "base/core/FileInputStream.h"

#include "base/core/IOException.h"
#include "base/core/StringBuilder.h"

#include <cerrno>
#include <cstring>

namespace base::core {

SmartPtr<FileInputStream> FileInputStream::create(const String& nativePath, TextEncoding* encoding) {
    std::FILE* file = std::fopen(nativePath.getStdString().c_str(), "rb");
    if (!file)
        throw IOException(StringBuilder() + "Could not open file \"" + nativePath +
                          "\" for reading: " + std::strerror(errno));
    return SmartPtr<FileInputStream>(new FileInputStream(file, nativePath, encoding));
}

FileInputStream::FileInputStream(std::FILE* file, const String& path, TextEncoding* encoding)
    : InputStream(encoding), file(file), path(path) {}

FileInputStream::~FileInputStream() {
    if (file)
        std::fclose(file);
}

size_t FileInputStream::readBytes(unsigned char* buffer, size_t count) {
    if (!file)
        return 0;
    const size_t got = std::fread(buffer, 1, count, file);
    if (got == 0 && std::ferror(file))
        throw IOException("Error reading from file");
    return got;
}

void FileInputStream::close() {
    if (!file)
        return;
    std::FILE* closing = file;
    file = nullptr;
    if (std::fclose(closing) != 0)
        throw IOException("Could not close file after reading");
}

} // namespace base::core
