#include "base/core/FileOutputStream.h"

#include "base/core/BufferedOutputStream.h"
#include "base/core/IOException.h"
#include "base/core/StringBuilder.h"

#include <cerrno>
#include <cstring>

namespace base::core {

SmartPtr<OutputStream> FileOutputStream::create(const String& nativePath, TextEncoding* encoding) {
    std::FILE* file = std::fopen(nativePath.getStdString().c_str(), "wb");
    if (!file)
        throw IOException(StringBuilder() + "Could not open file \"" + nativePath +
                          "\" for writing: " + std::strerror(errno));
    SmartPtr<OutputStream> stream(new FileOutputStream(file, nativePath, encoding));
    return SmartPtr<OutputStream>(new BufferedOutputStream(stream, 1024));
}

FileOutputStream::FileOutputStream(std::FILE* file, const String& path, TextEncoding* encoding)
    : OutputStream(encoding), file(file), path(path) {}

FileOutputStream::~FileOutputStream() {
    if (file)
        std::fclose(file);
}

void FileOutputStream::writeBytes(const unsigned char* bytes, size_t count) {
    if (!file || std::fwrite(bytes, 1, count, file) != count)
        throw IOException(StringBuilder() + "Error writing to file \"" + path +
                          "\": " + std::strerror(errno));
}

void FileOutputStream::flush() {
    // A closed file has nothing left to flush; the buffered wrapper flushes on every close.
    if (!file)
        return;
    if (std::fflush(file) != 0)
        throw IOException(StringBuilder() + "Could not flush file \"" + path + "\": " + std::strerror(errno));
}

void FileOutputStream::close() {
    if (!file)
        return;
    std::FILE* closing = file;
    file = nullptr;
    if (std::fclose(closing) != 0)
        throw IOException(StringBuilder() + "Could not close file \"" + path + "\": " + std::strerror(errno));
}

} // namespace base::core
