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
    AudioThreadProxy* audioThread = proxy->getAudioThreadForCurrentThread();
    if (!audioThread)
        throw base::core::IOException("No audio channel to the plug-in host for this thread");
    return *audioThread;
}
} // namespace

void RemotePluginAudioContextProxy::startProcessing() {
    audioThreadOf(proxy).startProcess(instanceId);
}

void RemotePluginAudioContextProxy::stopProcessing() {
    audioThreadOf(proxy).stopProcess(instanceId);
}

int RemotePluginAudioContextProxy::processAudio(unsigned int frames, bool flag1, bool flag2) {
    try {
        return audioThreadOf(proxy).process(instanceId, frames, flag1, flag2);
    } catch (const base::core::IOException& e) {
        proxy->failWithDeath(e, false);
    }
}

} // namespace plugin
