#include "base/core/LocalFileSystem.h"

#include "base/core/FileInputStream.h"
#include "base/core/FileOutputStream.h"
#include "base/core/IOException.h"
#include "base/core/StringBuilder.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace base::core {

namespace {

std::string native(const FilePath& path) {
    return LocalFileSystem::filePathToNative(path).getStdString();
}

const char* systemError() {
    return std::strerror(errno);
}

} // namespace

LocalFileSystem* LocalFileSystem::getInstance() {
    static LocalFileSystem* const instance = [] {
        auto* fileSystem = new LocalFileSystem();
        fileSystem->retain();
        return fileSystem;
    }();
    return instance;
}

String LocalFileSystem::filePathToNative(const FilePath& path) {
    return StringBuilder() + "/" + path.toString();
}

FilePath LocalFileSystem::filePathFromNative(const String& nativePath) {
    String absolute = nativePath;
    if (!nativePath.startsWith("/")) {
        std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
        if (!cwd)
            throw IOException(StringBuilder() +
                              "Could not determine current working directory: " + systemError());
        absolute = StringBuilder() + cwd.get() + "/" + nativePath;
    }
    std::vector<String> components;
    absolute.separate(components, '/');
    FilePath result;
    for (const String& component : components) {
        if (component.isEmpty() || component == ".")
            continue;
        if (component == "..")
            result.setToParent();
        else
            result.appendPath(component);
    }
    return result;
}

String LocalFileSystem::describeUser(uint32_t uid) {
    passwd entry;
    passwd* found = nullptr;
    char buffer[1024];
    if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found)
        return StringBuilder() + "uid " + static_cast<long long>(uid) + " (" + found->pw_name + ")";
    return StringBuilder() + "uid " + static_cast<long long>(uid);
}

void LocalFileSystem::listChildren(const FilePath& path, std::vector<String>& names) {
    struct DirCloser {
        void operator()(DIR* d) const { closedir(d); }
    };
    std::unique_ptr<DIR, DirCloser> dir(opendir(native(path).c_str()));
    if (!dir)
        throw IOException("listFiles failed, opendir returned nullptr");
    while (dirent* entry = readdir(dir.get())) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.push_back(String(entry->d_name));
    }
}

bool LocalFileSystem::exists(const FilePath& path) {
    struct stat info;
    return stat(native(path).c_str(), &info) == 0;
}

bool LocalFileSystem::isFile(const FilePath& path) {
    struct stat info;
    return stat(native(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool LocalFileSystem::isDirectory(const FilePath& path) {
    struct stat info;
    return stat(native(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void LocalFileSystem::deleteFile(const FilePath& path) {
    unlink(native(path).c_str());
}

int64_t LocalFileSystem::getFileLength(const FilePath& path) {
    struct stat info;
    if (stat(native(path).c_str(), &info) != 0)
        throw IOException(StringBuilder() + "Could not determine size of file " + filePathToNative(path) +
                          ": " + systemError());
    return info.st_size;
}

void LocalFileSystem::createDirectory(const FilePath& path) {
    if (mkdir(native(path).c_str(), 0776) != 0)
        throw IOException(StringBuilder() + "Could not create directory " + filePathToNative(path) + ": " +
                          systemError());
}

void LocalFileSystem::removeDirectory(const FilePath& path) {
    if (rmdir(native(path).c_str()) != 0)
        throw IOException(StringBuilder() + "Could not delete directory " + filePathToNative(path) + ": " +
                          systemError());
}

SmartPtr<InputStream> LocalFileSystem::createInputStream(const FilePath& path, TextEncoding* encoding) {
    return FileInputStream::create(filePathToNative(path), encoding);
}

SmartPtr<OutputStream> LocalFileSystem::createOutputStream(const FilePath& path, TextEncoding* encoding) {
    return FileOutputStream::create(filePathToNative(path), encoding);
}

} // namespace base::core
