#include "client/RemotePluginAudioContextProxy.h"

#include "base/core/IOException.h"
#include "client/AudioThreadProxy.h"
#include "client/RemotePluginHostProxy.h"

namespace plugin {

RemotePluginAudioContextProxy::RemotePluginAudioContextProxy(RemotePluginHostProxy* proxy, int instanceId,
                                                             int inputChannelCount, int outputChannelCount,
                                                             int parameterCount)
    : PluginAudioContext(proxy->getBlockSize(), inputChannelCount, outputChannelCount, parameterCount, false),
      proxy(proxy), instanceId(instanceId) {}

void* RemotePluginAudioContextProxy::getOrAllocateMemory(size_t size) {
    sharedMemory = base::core::SharedMemory::open(getAudioContextName(proxy->getHostId(), instanceId),
                                                  static_cast<int64_t>(size));
    return sharedMemory->getAddress();
}

namespace {

AudioThreadProxy& audioThreadOf(RemotePluginHostProxy* proxy) {
    if (proxy->hasDied())
        throw base::core::IOException("Communication lost with plugin host process");
    AudioThreadProxy* audioThread = proxy->getAudioThreadForCurrentThread();
    if (!audioThread)
        throw base::core::IOException("No audio channel to the plug-in host for this thread");
    return *audioThread;
}

// A failed exchange on the audio channel means the host is gone: reported once, then rethrown to the caller.
template <typename Call> auto overAudioChannel(RemotePluginHostProxy* proxy, Call call) {
    try {
        return call(audioThreadOf(proxy));
    } catch (const base::core::IOException& e) {
        proxy->failWithDeath(e, false);
    }
}

} // namespace

void RemotePluginAudioContextProxy::startProcessing() {
    overAudioChannel(proxy, [&](AudioThreadProxy& channel) { channel.startProcess(instanceId); });
}

void RemotePluginAudioContextProxy::stopProcessing() {
    overAudioChannel(proxy, [&](AudioThreadProxy& channel) { channel.stopProcess(instanceId); });
}

int RemotePluginAudioContextProxy::processAudio(unsigned int frames, bool flag1, bool flag2) {
    return overAudioChannel(
        proxy, [&](AudioThreadProxy& channel) { return channel.process(instanceId, frames, flag1, flag2); });
}

} // namespace plugin
