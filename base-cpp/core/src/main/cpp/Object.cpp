#include "base/core/Object.h"

#include "base/core/StringBuilder.h"

#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <typeinfo>

namespace base::core {

Object::~Object() = default;

String Object::asString() const {
    int status = 0;
    char* demangled = abi::__cxa_demangle(typeid(*this).name(), nullptr, nullptr, &status);
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    StringBuilder text;
    text + (status == 0 && demangled ? demangled : typeid(*this).name()) + "@" + address;
    std::free(demangled);
    return text;
}

void Object::release() const noexcept {
    if (referenceCount.fetch_sub(1, std::memory_order_seq_cst) == 1) {
        auto* self = const_cast<Object*>(this);
        if (self->beforeDestruction())
            self->deleteObject();
    }
}

} // namespace base::core
