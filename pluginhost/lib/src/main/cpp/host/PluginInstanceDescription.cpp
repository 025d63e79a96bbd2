#include "plugin/PluginInstanceDescription.h"

#include "plugin/PluginInstance.h"
#include "plugin/PluginText.h"

#include <cstring>

namespace plugin {

using base::core::SmartPtr;
using base::core::String;

namespace {

// Fetches one plug-in text through a zero-filled buffer of the size every getter is promised.
template <typename Getter> String fetchText(Getter getter) {
    char buffer[PluginInstanceState::TEXT_BUFFER_SIZE];
    std::memset(buffer, 0, sizeof buffer);
    getter(buffer, static_cast<unsigned long>(sizeof buffer));
    // A plug-in that fills the whole buffer still gets a terminated text.
    buffer[sizeof buffer - 1] = 0;
    return decodePluginText(buffer);
}

} // namespace

SmartPtr<PluginInstanceState> describePluginInstance(PluginInstance* instance) {
    SmartPtr<PluginInstanceState> state(new PluginInstanceState());
    PluginInstance::SettingUpScope settingUp(instance);
    instance->listAudioInputBuses(state->inputBuses);
    instance->listAudioOutputBuses(state->outputBuses);
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
        state->parameters.push_back(new ParameterInfo(name, unit, display, value, info));
    }
    const int programCount = instance->getProgramCount();
    for (int index = 0; index < programCount; ++index)
        state->programs.push_back(new Program(fetchText(
            [&](char* buffer, unsigned long size) { instance->getProgramName(index, buffer, size); })));
    for (int key = 0; key < PluginInstanceState::KEY_COUNT; ++key) {
        state->keyNames[key] = instance->getKeyName(key);
        if (!state->keyNames[key].isEmpty())
            state->keyNamesPresent = true;
    }
    state->latency = instance->getPluginLatency();
    state->mpe = instance->supportsMPE();
    state->noteExpressions = instance->supportsVST3NoteExpressions();
    state->noteOutput = instance->hasNoteOutput();
    return state;
}

// The counts come before the state, in the order in which the instance has always been asked.
SmartPtr<CreatePluginInstanceReply> makeCreatePluginInstanceReply(PluginInstance* instance) {
    const int32_t inputs = instance->getTotalAudioInChannelCount();
    const int32_t outputs = instance->getTotalAudioOutChannelCount();
    const int32_t latency = instance->getPluginLatency();
    const bool gui = instance->hasGUI();
    return new CreatePluginInstanceReply(instance->getInstanceId(), inputs, outputs, latency, gui,
                                         describePluginInstance(instance).get());
}

SmartPtr<DefineIoReply> makeDefineIoReply(PluginInstance* instance) {
    const int32_t inputs = instance->getTotalAudioInChannelCount();
    const int32_t outputs = instance->getTotalAudioOutChannelCount();
    const int32_t latency = instance->getPluginLatency();
    return new DefineIoReply(instance->getInstanceId(), inputs, outputs, latency,
                             describePluginInstance(instance).get());
}

} // namespace plugin
