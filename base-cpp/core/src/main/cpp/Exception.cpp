#include "base/core/Exception.h"

#include "base/core/EOSException.h"

namespace base::core {

Exception::Exception(const String& message) : message(message), utf8Message(message.getStdString()) {}

Exception::Exception(const Exception& other)
    : Object(), std::exception(other), message(other.message), utf8Message(other.utf8Message) {}

Exception* Exception::clone() const {
    return new Exception(*this);
}

void Exception::raise() const {
    throw Exception(*this);
}

EOSException::EOSException() : IOException("End of stream") {}

} // namespace base::core
