#pragma once

#include "base/core/Object.h"
#include "base/core/SmartPtr.h"
#include "base/core/String.h"
#include "plugin/ParameterInfo.h"
#include "plugin/PluginAudioBus.h"
#include "plugin/Program.h"

#include <array>
#include <cstdint>
#include <vector>

namespace base::core {
class InputStream;
class OutputStream;
} // namespace base::core

namespace plugin {

class PluginInstance;

// Both sides: the description of an instance that the client receives: buses, parameters, programs,
// key names, latency and capabilities. Built once and not changed afterwards, so any thread may write
// it. The host builds it from an instance with describePluginInstance (host library).
class PluginInstanceState : public base::core::Object {
public:
    static constexpr int KEY_COUNT = 128;
    // The size of the buffers that plug-in texts are fetched into, terminator included.
    static constexpr int TEXT_BUFFER_SIZE = 256;

    explicit PluginInstanceState(base::core::InputStream* in);

    virtual void write(base::core::OutputStream* out) const;
    void print(base::core::OutputStream* out) const;

    const std::vector<base::core::SmartPtr<ParameterInfo>>& getParameters() const { return parameters; }
    const std::vector<base::core::SmartPtr<Program>>& getPrograms() const { return programs; }
    const std::vector<base::core::SmartPtr<PluginAudioBus>>& getInputBuses() const { return inputBuses; }
    const std::vector<base::core::SmartPtr<PluginAudioBus>>& getOutputBuses() const { return outputBuses; }
    bool hasKeyNames() const { return keyNamesPresent; }
    const std::array<base::core::String, KEY_COUNT>& getKeyNames() const { return keyNames; }
    int32_t getLatency() const { return latency; }
    bool supportsMPE() const { return mpe; }
    bool supportsNoteExpressions() const { return noteExpressions; }
    bool hasNoteOutput() const { return noteOutput; }

private:
    friend base::core::SmartPtr<PluginInstanceState> describePluginInstance(PluginInstance* instance);
    PluginInstanceState() = default;

    std::vector<base::core::SmartPtr<ParameterInfo>> parameters;
    std::vector<base::core::SmartPtr<Program>> programs;
    std::vector<base::core::SmartPtr<PluginAudioBus>> inputBuses;
    std::vector<base::core::SmartPtr<PluginAudioBus>> outputBuses;
    bool keyNamesPresent = false;
    std::array<base::core::String, KEY_COUNT> keyNames;
    int32_t latency = 0;
    bool mpe = false;
    bool noteExpressions = false;
    bool noteOutput = false;
};

} // namespace plugin
