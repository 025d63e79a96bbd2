#include "base/core/NamedServerPipe.h"

#include "base/core/InputStream.h"
#include "base/core/LocalFileSystem.h"
#include "base/core/NamedPipes.h"
#include "base/core/OutputStream.h"

namespace base::core {

SmartPtr<NamedServerPipe> NamedServerPipe::create(const FilePath& path, bool toClient, bool fromClient) {
    if (toClient)
        createPipe(path, true);
    if (fromClient)
        createPipe(path, false);
    return SmartPtr<NamedServerPipe>(new NamedServerPipe(path, toClient, fromClient));
}

NamedServerPipe::NamedServerPipe(const FilePath& path, bool toClient, bool fromClient)
    : path(path), hasToClient(toClient), hasFromClient(fromClient) {}

SmartPtr<NamedPipe> NamedServerPipe::waitForClientToConnect(TextEncoding* encoding) {
    SmartPtr<OutputStream> output;
    SmartPtr<InputStream> input;
    if (hasToClient)
        output = createNamedPipeOutputStream(path, true, encoding);
    if (hasFromClient)
        input = createNamedPipeInputStream(path, false, encoding);
    pipe = SmartPtr<NamedPipe>(new NamedPipe(path, input, output));
    return pipe;
}

NamedServerPipe::~NamedServerPipe() {
    if (pipe) {
        // The pipe's own destructor closes again and ignores the failure; closing here ends the peer's reads
        // even while someone else still holds the pipe.
        if (const SmartPtr<InputStream>& input = pipe->getInputStream()) {
            try {
                input->close();
            } catch (...) {
            }
        }
        if (const SmartPtr<OutputStream>& output = pipe->getOutputStream()) {
            try {
                output->close();
            } catch (...) {
            }
        }
        pipe.reset();
    }
    LocalFileSystem* fileSystem = LocalFileSystem::getInstance();
    fileSystem->deleteFile(getPipeFilePath(path, true));
    fileSystem->deleteFile(getPipeFilePath(path, false));
}

} // namespace base::core
