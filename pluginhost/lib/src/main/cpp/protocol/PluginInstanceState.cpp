#include "plugin/PluginInstanceState.h"

#include "base/core/IOException.h"
#include "base/core/InputStream.h"
#include "base/core/OutputStream.h"
#include "base/core/StringBuilder.h"
#include "plugin/PluginInstance.h"
#include "plugin/PluginText.h"

#include <cstring>

namespace plugin {

using base::core::SmartPtr;
using base::core::String;
using base::core::StringBuilder;

namespace {

// Holds the instance's setting-up flag while it is queried, so that changes the plug-in reports
// meanwhile send no notifications.
class SettingUpScope {
public:
    explicit SettingUpScope(PluginInstance* instance)
        : instance(instance), previous(instance->isSettingUp()) {
        instance->setSettingUp(true);
    }
    SettingUpScope(const SettingUpScope&) = delete;
    SettingUpScope& operator=(const SettingUpScope&) = delete;
    ~SettingUpScope() { instance->setSettingUp(previous); }

private:
    PluginInstance* instance;
    bool previous;
};

// Fetches one plug-in text through a zero-filled buffer of the size every getter is promised.
template <typename Getter> String fetchText(Getter getter) {
    char buffer[PluginInstanceState::TEXT_BUFFER_SIZE];
    std::memset(buffer, 0, sizeof buffer);
    getter(buffer, static_cast<unsigned long>(sizeof buffer));
    // A plug-in that fills the whole buffer still gets a terminated text.
    buffer[sizeof buffer - 1] = 0;
    return decodePluginText(buffer);
}

int32_t readCount(base::core::InputStream* in, const char* what) {
    const int32_t count = in->readInt32Native();
    if (count < 0)
        throw base::core::IOException(StringBuilder() + "Invalid " + what + " count " + count);
    return count;
}

} // namespace

PluginInstanceState::PluginInstanceState(PluginInstance* instance) {
    SettingUpScope settingUp(instance);
    instance->listAudioInputBuses(inputBuses);
    instance->listAudioOutputBuses(outputBuses);
    const int parameterCount = instance->getParameterCount();
    for (int index = 0; index < parameterCount; ++index) {
        const String name = fetchText(
            [&](char* buffer, unsigned long size) { instance->getParameterName(index, buffer, size); });
        const String unit = fetchText(
            [&](char* buffer, unsigned long size) { instance->getParameterUnit(index, buffer, size); });
        const float value = instance->getParameterNormalizedValue(index);
        const String display = fetchText(
            [&](char* buffer, unsigned long size) { instance->getParameterDisplay(index, buffer, size); });
        PluginParameterInfo info;
        instance->getParameterInfo(index, info);
        parameters.push_back(new ParameterInfo(name, unit, display, value, info));
    }
    const int programCount = instance->getProgramCount();
    for (int index = 0; index < programCount; ++index)
        programs.push_back(new Program(fetchText(
            [&](char* buffer, unsigned long size) { instance->getProgramName(index, buffer, size); })));
    for (int key = 0; key < KEY_COUNT; ++key) {
        keyNames[key] = instance->getKeyName(key);
        if (!keyNames[key].isEmpty())
            keyNamesPresent = true;
    }
    latency = instance->getPluginLatency();
    mpe = instance->supportsMPE();
    noteExpressions = instance->supportsVST3NoteExpressions();
    noteOutput = instance->hasNoteOutput();
}

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
