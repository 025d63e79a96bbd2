#pragma once

#include "base/core/Object.h"

namespace plugin {

// A unit of work executed on the host's main thread.
class PluginHostAction : public base::core::Object {
public:
    virtual void run() = 0;
};

} // namespace plugin
