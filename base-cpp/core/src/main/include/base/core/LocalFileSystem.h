#pragma once

#include "base/core/FileSystem.h"

namespace base::core {

// The POSIX file system.
class LocalFileSystem : public FileSystem {
public:
    static LocalFileSystem* getInstance();

    static String filePathToNative(const FilePath& path);
    static FilePath filePathFromNative(const String& nativePath);
    // "uid 1000 (alice)" for messages about who owns something; only the number when the user is unknown.
    static String describeUser(uint32_t uid);

    using FileSystem::listChildren;
    void listChildren(const FilePath& path, std::vector<String>& names) override;
    bool exists(const FilePath& path) override;
    bool isFile(const FilePath& path) override;
    void deleteFile(const FilePath& path) override;
    int64_t getFileLength(const FilePath& path) override;
    bool isDirectory(const FilePath& path) override;
    void createDirectory(const FilePath& path) override;
    void removeDirectory(const FilePath& path) override;
    String getNativeFilePath(const FilePath& path) override { return filePathToNative(path); }
    SmartPtr<InputStream> createInputStream(const FilePath& path, TextEncoding* encoding = nullptr) override;
    SmartPtr<OutputStream> createOutputStream(const FilePath& path,
                                              TextEncoding* encoding = nullptr) override;
};

} // namespace base::core
