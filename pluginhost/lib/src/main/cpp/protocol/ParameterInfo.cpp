#include "plugin/ParameterInfo.h"

#include "base/core/InputStream.h"
#include "base/core/OutputStream.h"
#include "base/core/StringBuilder.h"

namespace plugin {

using base::core::StringBuilder;

ParameterInfo::ParameterInfo(const base::core::String& name, const base::core::String& unit,
                             const base::core::String& display, float value, const PluginParameterInfo& info)
    : name(name), unit(unit), display(display), value(value), automatable(info.automatable),
      boolean(info.isBoolean), integer(info.isInteger), index(info.index), minValue(info.minValue),
      maxValue(info.maxValue), category(info.category), shortName(info.shortName) {}

ParameterInfo::ParameterInfo(base::core::InputStream* in) {
    name = in->readBinaryString();
    shortName = in->readBinaryString();
    display = in->readBinaryString();
    unit = in->readBinaryString();
    category = in->readBinaryString();
    value = in->readFloat();
    index = in->readInt32Native();
    automatable = in->readBool();
    boolean = in->readBool();
    integer = in->readBool();
    minValue = in->readInt32Native();
    maxValue = in->readInt32Native();
}

void ParameterInfo::write(base::core::OutputStream* out) const {
    out->writeBinaryString(name);
    out->writeBinaryString(shortName);
    out->writeBinaryString(display);
    out->writeBinaryString(unit);
    out->writeBinaryString(category);
    out->writeFloat(value);
    out->writeInt32Native(index);
    out->writeBool(automatable);
    out->writeBool(boolean);
    out->writeBool(integer);
    out->writeInt32Native(minValue);
    out->writeInt32Native(maxValue);
}

void ParameterInfo::print(base::core::OutputStream* out) const {
    out->writeLine(StringBuilder() + "Name: " + name);
    out->writeLine(StringBuilder() + "Short Name: " + shortName);
    out->writeLine(StringBuilder() + "Unit: " + unit);
    out->writeLine(StringBuilder() + "Value: " + value);
    out->writeLine(StringBuilder() + "Category: " + category);
    if (integer)
        out->writeLine(StringBuilder() + "Is integer with range: " + minValue + " ... " + maxValue);
    if (boolean)
        out->writeLine("Is boolean");
}

} // namespace plugin
