#include "plugin/PluginAudioBus.h"

#include "base/core/IOException.h"
#include "base/core/InputStream.h"
#include "base/core/OutputStream.h"
#include "base/core/StringBuilder.h"

namespace plugin {

using base::core::StringBuilder;

PluginAudioBus::PluginAudioBus(const base::core::String& name, int firstChannel, int channelCount)
    : name(name) {
    for (int i = 0; i < channelCount; ++i)
        channels.push_back(firstChannel + i);
}

PluginAudioBus::PluginAudioBus(const base::core::String& name, int channel) : name(name), channels{channel} {}

PluginAudioBus::PluginAudioBus(base::core::InputStream* in) : name(in->readBinaryString()) {
    const int32_t count = in->readInt32();
    if (count < 0)
        throw base::core::IOException(StringBuilder() + "Invalid channel count " + count + " of audio bus " +
                                      name);
    // No reserve: a corrupt count must end in an end of stream, not in a huge allocation.
    for (int32_t i = 0; i < count; ++i)
        channels.push_back(in->readInt32());
}

void PluginAudioBus::write(base::core::OutputStream* out) const {
    out->writeBinaryString(name);
    out->writeInt32(static_cast<int>(channels.size()));
    for (const int32_t channel : channels)
        out->writeInt32(channel);
}

} // namespace plugin
