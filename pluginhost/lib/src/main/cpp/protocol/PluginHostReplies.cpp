#include "plugin/PluginHostReplies.h"

#include "base/core/InputStream.h"
#include "base/core/OutputStream.h"
#include "base/core/StringBuilder.h"

namespace plugin {

using base::core::StringBuilder;

CreatePluginInstanceReply::CreatePluginInstanceReply(int32_t instanceId, int32_t audioInChannelCount,
                                                     int32_t audioOutChannelCount, int32_t latency, bool gui,
                                                     PluginInstanceState* state)
    : instanceId(instanceId), audioInChannelCount(audioInChannelCount),
      audioOutChannelCount(audioOutChannelCount), latency(latency), gui(gui), state(state) {}

CreatePluginInstanceReply::CreatePluginInstanceReply(base::core::InputStream* in) {
    instanceId = in->readInt32Native();
    audioInChannelCount = in->readInt32Native();
    audioOutChannelCount = in->readInt32Native();
    latency = in->readInt32Native();
    gui = in->readBool();
    state = new PluginInstanceState(in);
}

void CreatePluginInstanceReply::write(base::core::OutputStream* out) const {
    out->writeInt32Native(instanceId);
    out->writeInt32Native(audioInChannelCount);
    out->writeInt32Native(audioOutChannelCount);
    out->writeInt32Native(latency);
    out->writeBool(gui);
    state->write(out);
}

void CreatePluginInstanceReply::print(base::core::OutputStream* out) const {
    out->writeLine("Create plugin instance reply");
    out->writeLine(StringBuilder() + "Instance id: " + instanceId);
    out->writeLine(StringBuilder() + "Audio in channels: " + audioInChannelCount);
    out->writeLine(StringBuilder() + "Audio out channels: " + audioOutChannelCount);
    out->writeLine(StringBuilder() + "Has GUI: " + (gui ? "true" : "false"));
    out->writeLine("\nParameters:");
    state->print(out);
}

DefineIoReply::DefineIoReply(int32_t instanceId, int32_t audioInChannelCount, int32_t audioOutChannelCount,
                             int32_t latency, PluginInstanceState* state)
    : instanceId(instanceId), audioInChannelCount(audioInChannelCount),
      audioOutChannelCount(audioOutChannelCount), latency(latency), state(state) {}

DefineIoReply::DefineIoReply(base::core::InputStream* in) {
    instanceId = in->readInt32Native();
    audioInChannelCount = in->readInt32Native();
    audioOutChannelCount = in->readInt32Native();
    latency = in->readInt32Native();
    state = new PluginInstanceState(in);
}

void DefineIoReply::write(base::core::OutputStream* out) const {
    out->writeInt32Native(instanceId);
    out->writeInt32Native(audioInChannelCount);
    out->writeInt32Native(audioOutChannelCount);
    out->writeInt32Native(latency);
    state->write(out);
}

} // namespace plugin
