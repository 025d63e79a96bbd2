#pragma once

#include "base/core/Object.h"
#include "base/core/String.h"

#include <exception>
#include <string>

namespace base::core {

// Root of every exception. Thrown by value, so unlike other Objects it can be copied.
class Exception : public Object, public std::exception {
public:
    explicit Exception(const String& message);
    Exception(const Exception& other);
    Exception& operator=(const Exception&) = delete;

    const String& getMessage() const { return message; }
    virtual Exception* clone() const;
    // Re-throws the concrete type, so a cloned exception can cross threads.
    [[noreturn]] virtual void raise() const;
    const char* what() const noexcept override { return utf8Message.c_str(); }

private:
    String message;
    std::string utf8Message;
};

#define BASE_CORE_DECLARE_EXCEPTION(Name, Base)                                                              \
    class Name : public Base {                                                                               \
        using BaseType = Base;                                                                               \
                                                                                                             \
    public:                                                                                                  \
        using BaseType::BaseType;                                                                            \
        Name(const Name& other) = default;                                                                   \
        Exception* clone() const override { return new Name(*this); }                                        \
        [[noreturn]] void raise() const override { throw Name(*this); }                                      \
    };

} // namespace base::core
