#pragma once

#include "base/core/Object.h"
#include "base/core/String.h"
#include "plugin/PluginParameterInfo.h"

#include <cstdint>

namespace base::core {
class InputStream;
class OutputStream;
} // namespace base::core

namespace plugin {

// One parameter of an instance as the client sees it.
class ParameterInfo : public base::core::Object {
public:
    ParameterInfo(const base::core::String& name, const base::core::String& unit,
                  const base::core::String& display, float value, const PluginParameterInfo& info);
    explicit ParameterInfo(base::core::InputStream* in);

    void write(base::core::OutputStream* out) const;
    void print(base::core::OutputStream* out) const;

    const base::core::String& getName() const { return name; }
    const base::core::String& getUnit() const { return unit; }
    const base::core::String& getDisplay() const { return display; }
    float getValue() const { return value; }
    bool isAutomatable() const { return automatable; }
    bool isBoolean() const { return boolean; }
    bool isInteger() const { return integer; }
    int32_t getIndex() const { return index; }
    int32_t getMinValue() const { return minValue; }
    int32_t getMaxValue() const { return maxValue; }
    const base::core::String& getCategory() const { return category; }
    const base::core::String& getShortName() const { return shortName; }

private:
    base::core::String name;
    base::core::String unit;
    base::core::String display;
    float value = 0.0f;
    bool automatable = false;
    bool boolean = false;
    bool integer = false;
    int32_t index = 0;
    int32_t minValue = 0;
    int32_t maxValue = 0;
    base::core::String category;
    base::core::String shortName;
};

} // namespace plugin
