#pragma once

#include "base/core/FilePath.h"
#include "base/core/Object.h"
#include "base/core/SmartPtr.h"

#include <cstdint>
#include <vector>

namespace base::core {

class InputStream;
class OutputStream;
class TextEncoding;

class FileSystem : public Object {
public:
    std::vector<String> listChildren(const FilePath& path);
    virtual void listChildren(const FilePath& path, std::vector<String>& names) = 0;
    void listChildPaths(const FilePath& path, std::vector<FilePath>& paths);
    std::vector<FilePath> listChildPaths(const FilePath& path);
    virtual bool exists(const FilePath& path) = 0;
    virtual bool isFile(const FilePath& path) = 0;
    virtual void deleteFile(const FilePath& path) = 0;
    virtual int64_t getFileLength(const FilePath& path) = 0;
    virtual bool isDirectory(const FilePath& path) = 0;
    virtual void createDirectory(const FilePath& path) = 0;
    virtual void createDirectories(const FilePath& path);
    virtual void removeDirectory(const FilePath& path) = 0;
    virtual String getNativeFilePath(const FilePath& path) = 0;
    virtual SmartPtr<InputStream> createInputStream(const FilePath& path,
                                                    TextEncoding* encoding = nullptr) = 0;
    virtual SmartPtr<OutputStream> createOutputStream(const FilePath& path,
                                                      TextEncoding* encoding = nullptr) = 0;
    virtual void writeTextFile(const FilePath& path, const String& text, TextEncoding* encoding = nullptr);
};

} // namespace base::core
