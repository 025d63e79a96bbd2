#include "plugin/PluginInstanceState.h"

#include "base/core/IOException.h"
#include "base/core/InputStream.h"
#include "base/core/OutputStream.h"
#include "base/core/StringBuilder.h"

namespace plugin {

using base::core::String;
using base::core::StringBuilder;

namespace {

int32_t readCount(base::core::InputStream* in, const char* what) {
    const int32_t count = in->readInt32Native();
    if (count < 0)
        throw base::core::IOException(StringBuilder() + "Invalid " + what + " count " + count);
    return count;
}

} // namespace

PluginInstanceState::PluginInstanceState(base::core::InputStream* in) {
    // No reserve anywhere: a corrupt count must end in an end of stream, not in a huge allocation.
    for (int32_t i = readCount(in, "input bus"); i > 0; --i)
        inputBuses.push_back(new PluginAudioBus(in));
    for (int32_t i = readCount(in, "output bus"); i > 0; --i)
        outputBuses.push_back(new PluginAudioBus(in));
    for (int32_t i = readCount(in, "parameter"); i > 0; --i)
        parameters.push_back(new ParameterInfo(in));
    for (int32_t i = readCount(in, "program"); i > 0; --i)
        programs.push_back(new Program(in->readBinaryString()));
    keyNamesPresent = in->readBool();
    if (keyNamesPresent) {
        for (String& keyName : keyNames)
            keyName = in->readBinaryString();
    }
    latency = in->readInt32Native();
    mpe = in->readBool();
    noteExpressions = in->readBool();
    noteOutput = in->readBool();
}

void PluginInstanceState::write(base::core::OutputStream* out) const {
    out->writeInt32Native(static_cast<int32_t>(inputBuses.size()));
    for (const auto& bus : inputBuses)
        bus->write(out);
    out->writeInt32Native(static_cast<int32_t>(outputBuses.size()));
    for (const auto& bus : outputBuses)
        bus->write(out);
    out->writeInt32Native(static_cast<int32_t>(parameters.size()));
    for (const auto& parameter : parameters)
        parameter->write(out);
    out->writeInt32Native(static_cast<int32_t>(programs.size()));
    for (const auto& program : programs)
        out->writeBinaryString(program->getName());
    out->writeBool(keyNamesPresent);
    if (keyNamesPresent) {
        for (const String& keyName : keyNames)
            out->writeBinaryString(keyName);
    }
    out->writeInt32Native(latency);
    out->writeBool(mpe);
    out->writeBool(noteExpressions);
    out->writeBool(noteOutput);
}

void PluginInstanceState::print(base::core::OutputStream* out) const {
    for (const auto& parameter : parameters)
        parameter->print(out);
    out->writeLine("\nPrograms:");
    for (const auto& program : programs)
        out->writeLine(program->getName());
}

} // namespace plugin
