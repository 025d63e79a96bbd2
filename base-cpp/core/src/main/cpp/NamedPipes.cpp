#include "base/core/NamedPipes.h"

#include "base/core/BufferedInputStream.h"
#include "base/core/BufferedOutputStream.h"
#include "base/core/IOException.h"
#include "base/core/LocalFileSystem.h"
#include "base/core/NamedPipeInputStream.h"
#include "base/core/NamedPipeOutputStream.h"
#include "base/core/StringBuilder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace base::core {

const char* const PLUGIN_HOST_PATH_PREFIX = "zelvar/engine/plugin";

namespace {

constexpr size_t PIPE_BUFFER_SIZE = 1024;

// Closes a descriptor unless ownership was handed on.
class DescriptorGuard {
public:
    explicit DescriptorGuard(int descriptor) : descriptor(descriptor) {}
    DescriptorGuard(const DescriptorGuard&) = delete;
    DescriptorGuard& operator=(const DescriptorGuard&) = delete;
    ~DescriptorGuard() { reset(-1); }
    int get() const { return descriptor; }
    int release() {
        const int released = descriptor;
        descriptor = -1;
        return released;
    }
    void reset(int next) {
        if (descriptor >= 0)
            ::close(descriptor);
        descriptor = next;
    }

private:
    int descriptor;
};

String native(const FilePath& path) {
    return LocalFileSystem::filePathToNative(path);
}

IOException openFailure(const FilePath& fifo) {
    return IOException(StringBuilder() + "Could not open named pipe \"" + native(fifo) +
                       "\": " + std::strerror(errno));
}

String describeFound(const struct stat& info) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    return StringBuilder() + "owner " + LocalFileSystem::describeUser(info.st_uid) + ", mode " + mode;
}

// The names below /tmp are predictable, so another local user may have made them first: every directory
// of the tree must be this user's and closed to everyone else, or a foreign process could stand in for
// either end of a pipe.
void checkDirectory(const FilePath& directory, const struct stat& info) {
    const char* problem = nullptr;
    if (S_ISLNK(info.st_mode))
        problem = "it is a symbolic link";
    else if (!S_ISDIR(info.st_mode))
        problem = "it is not a directory";
    else if (info.st_uid != ::geteuid())
        problem = "it belongs to another user";
    else if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        problem = "other users can write to it";
    if (!problem)
        return;
    const String path = native(directory);
    throw IOException(StringBuilder() + "Refusing directory \"" + path + "\" of the named pipes: " + problem +
                      " (" + describeFound(info) + "). The pipe directories must belong to " +
                      LocalFileSystem::describeUser(::geteuid()) +
                      " and be writable by no one else; remove \"" + path +
                      "\" (as its owner or as root) so that it is created again.");
}

void checkFifo(const FilePath& fifo, const struct stat& info) {
    const char* problem = nullptr;
    if (S_ISLNK(info.st_mode))
        problem = "it is a symbolic link";
    else if (!S_ISFIFO(info.st_mode))
        problem = "it is not a FIFO";
    else if (info.st_uid != ::geteuid())
        problem = "it belongs to another user";
    if (!problem)
        return;
    throw IOException(StringBuilder() + "Refusing named pipe \"" + native(fifo) + "\": " + problem + " (" +
                      describeFound(info) + "). Only a FIFO of " +
                      LocalFileSystem::describeUser(::geteuid()) + " is used.");
}

// Opens the directory that holds `fifo`, each level relative to the one above and without following
// symbolic links, so that what was checked is what gets used. The first level (/tmp) is the system's.
// With `create`, missing levels are made with mode 0700; one that another client made at the same moment
// is used as it is.
int openPipeDirectory(const FilePath& fifo, bool create) {
    FilePath directory(fifo);
    directory.setToParent();
    std::vector<String> names;
    directory.toString().separate(names, '/');
    names.erase(std::remove_if(names.begin(), names.end(), [](const String& n) { return n.length() == 0; }),
                names.end());
    FilePath walked(names.front());
    DescriptorGuard current(
        ::open(native(walked).getStdString().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (current.get() < 0)
        throw openFailure(fifo);
    for (size_t level = 1; level < names.size(); ++level) {
        walked.appendPath(names[level]);
        const std::string name = names[level].getStdString();
        if (create && ::mkdirat(current.get(), name.c_str(), 0700) != 0 && errno != EEXIST)
            throw IOException(
                StringBuilder() +
                "Could not create directory structure for named pipe: Could not create directory " +
                native(walked) + ": " + std::strerror(errno));
        struct stat info;
        const int next =
            ::openat(current.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            const int error = errno;
            // A link or a file where a directory belongs: say what is there rather than "Not a directory".
            if (::fstatat(current.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0)
                checkDirectory(walked, info);
            errno = error;
            throw openFailure(fifo);
        }
        current.reset(next);
        if (::fstat(next, &info) != 0)
            throw openFailure(fifo);
        checkDirectory(walked, info);
    }
    return current.release();
}

// Blocks until the other side opens the FIFO; close-on-exec so that launched processes do not keep the
// pipe alive.
int openFifo(const FilePath& fifo, int access) {
    DescriptorGuard directory(openPipeDirectory(fifo, false));
    const std::string name = fifo.getName().getStdString();
    struct stat info;
    // Checked before opening as well, so that a foreign FIFO is refused at once instead of after its
    // owner has opened the other end.
    if (::fstatat(directory.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        throw openFailure(fifo);
    checkFifo(fifo, info);
    int descriptor;
    do {
        descriptor = ::openat(directory.get(), name.c_str(), access | O_NOFOLLOW | O_CLOEXEC);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0)
        throw openFailure(fifo);
    DescriptorGuard opened(descriptor);
    if (::fstat(descriptor, &info) != 0)
        throw openFailure(fifo);
    checkFifo(fifo, info);
    return opened.release();
}

} // namespace

FilePath getThreadPipePath(int hostId, const String& name) {
    return FilePath(StringBuilder() + PLUGIN_HOST_PATH_PREFIX + hostId + "/" + name);
}

FilePath getPipeFilePath(const FilePath& logical, bool toClient) {
    const char* user = std::getenv("USER");
    FilePath path(StringBuilder() + "/tmp/pipes-" + (user ? user : ""));
    path.appendPath(logical.toString());
    path.appendText(toClient ? "-to-client" : "-from-client");
    return path;
}

void createPipe(const FilePath& logical, bool toClient) {
    const FilePath path = getPipeFilePath(logical, toClient);
    DescriptorGuard directory(openPipeDirectory(path, true));
    const std::string name = path.getName().getStdString();
    // Whatever an earlier run left at the path goes; the directory is ours, so nothing else can appear.
    ::unlinkat(directory.get(), name.c_str(), 0);
    if (::mknodat(directory.get(), name.c_str(), S_IFIFO | 0600, 0) != 0)
        throw IOException(StringBuilder() + "Could not create named pipe \"" + native(path) +
                          "\": " + std::strerror(errno));
}

SmartPtr<InputStream> createNamedPipeInputStream(const FilePath& logical, bool toClient,
                                                 TextEncoding* encoding) {
    DescriptorGuard fifo(openFifo(getPipeFilePath(logical, toClient), O_RDONLY));
    SmartPtr<InputStream> pipe(new NamedPipeInputStream(fifo.get(), encoding));
    fifo.release();
    return SmartPtr<InputStream>(new BufferedInputStream(pipe, PIPE_BUFFER_SIZE));
}

SmartPtr<OutputStream> createNamedPipeOutputStream(const FilePath& logical, bool toClient,
                                                   TextEncoding* encoding) {
    DescriptorGuard fifo(openFifo(getPipeFilePath(logical, toClient), O_WRONLY));
    SmartPtr<OutputStream> pipe(new NamedPipeOutputStream(fifo.get(), encoding));
    fifo.release();
    return SmartPtr<OutputStream>(new BufferedOutputStream(pipe, PIPE_BUFFER_SIZE));
}

} // namespace base::core
