#pragma once

#include "base/core/FilePath.h"
#include "base/core/Object.h"
#include "base/core/SmartPtr.h"

namespace base::core {

class InputStream;
class OutputStream;
class TextEncoding;

// A connected pipe: up to one stream in each direction. Not locked: one thread reads the input and one
// thread at a time writes the output.
class NamedPipe : public Object {
public:
    // The host's side. Opens the to-client FIFO first and the from-client FIFO second, the same order as the
    // server, so that neither side waits on an open the other has not reached yet.
    static SmartPtr<NamedPipe> connectToServer(const FilePath& path, TextEncoding* encoding, bool toClient,
                                               bool fromClient);

    NamedPipe(const FilePath& path, const SmartPtr<InputStream>& input, const SmartPtr<OutputStream>& output);
    // Closes the input, then the output; a stream closed before is no error here.
    ~NamedPipe() override;

    // Empty when the pipe has no such direction.
    const SmartPtr<InputStream>& getInputStream() const { return input; }
    const SmartPtr<OutputStream>& getOutputStream() const { return output; }
    const FilePath& getPath() const { return path; }

private:
    SmartPtr<InputStream> input;
    SmartPtr<OutputStream> output;
    FilePath path;
};

} // namespace base::core
