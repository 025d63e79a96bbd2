#pragma once

#include "base/core/Object.h"
#include "base/core/String.h"

#include <cstdint>
#include <vector>

namespace base::core {
class InputStream;
class OutputStream;
} // namespace base::core

namespace plugin {

// An audio bus of an instance: its name and the indices of the instance's channels that make it up.
class PluginAudioBus : public base::core::Object {
public:
    // The channels firstChannel, firstChannel + 1, ... (channelCount of them).
    PluginAudioBus(const base::core::String& name, int firstChannel, int channelCount);
    // A bus of the one channel given.
    PluginAudioBus(const base::core::String& name, int channel);
    explicit PluginAudioBus(base::core::InputStream* in);

    void write(base::core::OutputStream* out) const;

    const base::core::String& getName() const { return name; }
    const std::vector<int32_t>& getChannels() const { return channels; }

private:
    base::core::String name;
    std::vector<int32_t> channels;
};

} // namespace plugin
