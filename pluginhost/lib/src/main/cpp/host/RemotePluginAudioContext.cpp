#include "plugin/RemotePluginAudioContext.h"

#include "plugin/PluginInstance.h"

namespace plugin {

using base::core::SharedMemory;

RemotePluginAudioContext::RemotePluginAudioContext(PluginInstance* instance, int hostId, int blockSize)
    : PluginAudioContext(blockSize, instance->getTotalAudioInChannelCount(),
                         instance->getTotalAudioOutChannelCount(), instance->getParameterCount(), true),
      instance(instance), hostId(hostId) {}

void* RemotePluginAudioContext::getOrAllocateMemory(size_t size) {
    sharedMemory = SharedMemory::create(getAudioContextName(hostId, instance->getInstanceId()),
                                        static_cast<int64_t>(size));
    return sharedMemory->getAddress();
}

void RemotePluginAudioContext::startProcessing() {
    instance->startProcess();
}

int RemotePluginAudioContext::processAudio(unsigned int frames, bool flag1, bool flag2) {
    return instance->process(frames, flag1, flag2);
}

void RemotePluginAudioContext::stopProcessing() {
    instance->stopProcess();
}

} // namespace plugin

namespace plugin {

void RemotePluginAudioContext::removeSharedName() {
    if (sharedMemory)
        sharedMemory->removeName();
}

} // namespace plugin
