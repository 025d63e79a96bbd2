#pragma once

#include "base/core/FilePath.h"
#include "base/core/NamedPipe.h"
#include "base/core/Object.h"
#include "base/core/SmartPtr.h"

namespace base::core {

class TextEncoding;

// The client's end of a logical pipe: it creates the FIFO files, waits for the host to connect and removes
// the files again when destroyed.
class NamedServerPipe : public Object {
public:
    static SmartPtr<NamedServerPipe> create(const FilePath& path, bool toClient, bool fromClient);

    // Opens the to-client FIFO for writing first, then the from-client FIFO for reading; each open blocks
    // until the host has opened the other end. Replaces an earlier connection.
    SmartPtr<NamedPipe> waitForClientToConnect(TextEncoding* encoding);

    // Closes a connected pipe's input, then its output, and deletes both FIFO files.
    ~NamedServerPipe() override;

    const FilePath& getPath() const { return path; }
    const SmartPtr<NamedPipe>& getConnectedPipe() const { return pipe; }

private:
    NamedServerPipe(const FilePath& path, bool toClient, bool fromClient);

    FilePath path;
    bool hasToClient;
    bool hasFromClient;
    SmartPtr<NamedPipe> pipe;
};

} // namespace base::core
