#pragma once

#include "base/core/String.h"

#include <cstdint>

namespace plugin {

// What an instance tells about one parameter beyond its name, unit, value and display.
struct PluginParameterInfo {
    bool automatable = false;
    int32_t index = 0;
    bool isInteger = false;
    bool isBoolean = false;
    int32_t minValue = 0;
    int32_t maxValue = 0;
    base::core::String category;
    base::core::String shortName;
};

} // namespace plugin
