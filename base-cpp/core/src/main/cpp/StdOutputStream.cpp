#include "base/core/StdOutputStream.h"

#include "base/core/IOException.h"
#include "base/core/LockGuard.h"

#include <iostream>

namespace base::core {

StdOutputStream::StdOutputStream(std::ostream& stream) : stream(stream) {}

void StdOutputStream::writeBytes(const unsigned char* bytes, size_t count) {
    LockGuard guard(mutex);
    stream.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(count));
    if (stream.fail())
        throw IOException("Error writing data");
}

void StdOutputStream::writeLine(const String& text, TextEncoding* encoding) {
    LockGuard guard(mutex);
    OutputStream::writeLine(text, encoding);
}

void StdOutputStream::writeLine(const char* utf8, TextEncoding* encoding) {
    LockGuard guard(mutex);
    OutputStream::writeLine(utf8, encoding);
}

void StdOutputStream::flush() {
    LockGuard guard(mutex);
    stream.flush();
}

namespace {
// Never destroyed, so that threads still writing at exit find them.
StdOutputStream* makeProcessStream(std::ostream& stream) {
    auto* out = new StdOutputStream(stream);
    out->retain();
    return out;
}
// Made before main runs, as the first use from another static initialiser would make them too.
[[maybe_unused]] OutputStream* const madeAtStartUp[] = {getOut(), getError()};
} // namespace

OutputStream* getOut() {
    static StdOutputStream* const out = makeProcessStream(std::cout);
    return out;
}

OutputStream* getError() {
    static StdOutputStream* const err = makeProcessStream(std::cerr);
    return err;
}

} // namespace base::core
