#pragma once

#include "base/core/Object.h"
#include "base/core/String.h"

namespace plugin {

// One program (factory preset) of an instance.
class Program : public base::core::Object {
public:
    explicit Program(const base::core::String& name) : name(name) {}

    const base::core::String& getName() const { return name; }

private:
    base::core::String name;
};

} // namespace plugin
