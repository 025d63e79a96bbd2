#include "base/core/StdStringOutputStream.h"

namespace base::core {

StdStringOutputStream::StdStringOutputStream(std::string& target) : OutputStream(nullptr), target(target) {}

void StdStringOutputStream::writeBytes(const unsigned char* bytes, size_t count) {
    target.append(reinterpret_cast<const char*>(bytes), count);
}

} // namespace base::core
