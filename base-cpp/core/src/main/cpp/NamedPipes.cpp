#include "base/core/NamedPipes.h"

#include "base/core/BufferedInputStream.h"
#include "base/core/BufferedOutputStream.h"
#include "base/core/IOException.h"
#include "base/core/LocalFileSystem.h"
#include "base/core/NamedPipeInputStream.h"
#include "base/core/NamedPipeOutputStream.h"
#include "base/core/StringBuilder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    ~DescriptorGuard() {
        if (descriptor >= 0)
            ::close(descriptor);
    }
    int get() const { return descriptor; }
    void release() { descriptor = -1; }

private:
    int descriptor;
};

// Blocks until the other side opens the FIFO; close-on-exec so that launched processes do not keep the
// pipe alive.
int openFifo(const String& nativePath, int access) {
    const std::string path = nativePath.getStdString();
    int descriptor;
    do {
        descriptor = ::open(path.c_str(), access | O_CLOEXEC);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0)
        throw IOException(StringBuilder() + "Could not open named pipe \"" + nativePath +
                          "\": " + std::strerror(errno));
    return descriptor;
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
    LocalFileSystem* fileSystem = LocalFileSystem::getInstance();
    const FilePath path = getPipeFilePath(logical, toClient);
    FilePath directory(path);
    directory.setToParent();
    try {
        fileSystem->createDirectories(directory);
    } catch (const IOException& e) {
        throw IOException(StringBuilder() +
                          "Could not create directory structure for named pipe: " + e.getMessage());
    }
    if (fileSystem->exists(path))
        fileSystem->deleteFile(path);
    const String nativePath = LocalFileSystem::filePathToNative(path);
    if (::mknod(nativePath.getStdString().c_str(), S_IFIFO | 0600, 0) != 0)
        throw IOException(StringBuilder() + "Could not create named pipe \"" + nativePath +
                          "\": " + std::strerror(errno));
}

SmartPtr<InputStream> createNamedPipeInputStream(const FilePath& logical, bool toClient,
                                                 TextEncoding* encoding) {
    const String nativePath = LocalFileSystem::filePathToNative(getPipeFilePath(logical, toClient));
    DescriptorGuard fifo(openFifo(nativePath, O_RDONLY));
    SmartPtr<InputStream> pipe(new NamedPipeInputStream(fifo.get(), encoding));
    fifo.release();
    return SmartPtr<InputStream>(new BufferedInputStream(pipe, PIPE_BUFFER_SIZE));
}

SmartPtr<OutputStream> createNamedPipeOutputStream(const FilePath& logical, bool toClient,
                                                   TextEncoding* encoding) {
    const String nativePath = LocalFileSystem::filePathToNative(getPipeFilePath(logical, toClient));
    DescriptorGuard fifo(openFifo(nativePath, O_WRONLY));
    SmartPtr<OutputStream> pipe(new NamedPipeOutputStream(fifo.get(), encoding));
    fifo.release();
    return SmartPtr<OutputStream>(new BufferedOutputStream(pipe, PIPE_BUFFER_SIZE));
}

} // namespace base::core
