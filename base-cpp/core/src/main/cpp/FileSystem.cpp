#include "base/core/FileSystem.h"

#include "base/core/OutputStream.h"
#include "base/core/TextEncoding.h"

namespace base::core {

std::vector<String> FileSystem::listChildren(const FilePath& path) {
    std::vector<String> names;
    listChildren(path, names);
    return names;
}

void FileSystem::listChildPaths(const FilePath& path, std::vector<FilePath>& paths) {
    for (const String& name : listChildren(path))
        paths.push_back(FilePath(path).appendPath(name));
}

std::vector<FilePath> FileSystem::listChildPaths(const FilePath& path) {
    std::vector<FilePath> paths;
    listChildPaths(path, paths);
    return paths;
}

void FileSystem::createDirectories(const FilePath& path) {
    if (path.isEmpty() || isDirectory(path))
        return;
    FilePath parent(path);
    parent.setToParent();
    createDirectories(parent);
    createDirectory(path);
}

void FileSystem::writeTextFile(const FilePath& path, const String& text, TextEncoding* encoding) {
    SmartPtr<OutputStream> out = createOutputStream(path, encoding);
    out->writeString(text, encoding ? encoding : gUTF8);
    out->close();
}

} // namespace base::core
