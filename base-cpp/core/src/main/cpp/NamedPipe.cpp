#include "base/core/NamedPipe.h"

#include "base/core/InputStream.h"
#include "base/core/NamedPipes.h"
#include "base/core/OutputStream.h"

namespace base::core {

SmartPtr<NamedPipe> NamedPipe::connectToServer(const FilePath& path, TextEncoding* encoding, bool toClient,
                                               bool fromClient) {
    SmartPtr<InputStream> input;
    SmartPtr<OutputStream> output;
    if (toClient)
        input = createNamedPipeInputStream(path, true, encoding);
    if (fromClient)
        output = createNamedPipeOutputStream(path, false, encoding);
    return SmartPtr<NamedPipe>(new NamedPipe(path, input, output));
}

NamedPipe::NamedPipe(const FilePath& path, const SmartPtr<InputStream>& input,
                     const SmartPtr<OutputStream>& output)
    : input(input), output(output), path(path) {}

NamedPipe::~NamedPipe() {
    // Owners usually close the streams before letting go; a second close failing is expected then.
    if (input) {
        try {
            input->close();
        } catch (...) {
        }
    }
    if (output) {
        try {
            output->close();
        } catch (...) {
        }
    }
}

} // namespace base::core
