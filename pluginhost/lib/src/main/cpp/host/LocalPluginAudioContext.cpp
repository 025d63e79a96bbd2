#include "plugin/LocalPluginAudioContext.h"

#include "plugin/PluginInstance.h"

#include <cstdlib>
#include <new>

namespace plugin {

LocalPluginAudioContext::LocalPluginAudioContext(PluginInstance* instance, int blockSize)
    : PluginAudioContext(blockSize, instance->getTotalAudioInChannelCount(),
                         instance->getTotalAudioOutChannelCount(), instance->getParameterCount(), true),
      instance(instance) {}

void LocalPluginAudioContext::FreeMemory::operator()(void* memory) const {
    std::free(memory);
}

void* LocalPluginAudioContext::getOrAllocateMemory(size_t size) {
    // The first block is rounded up to 32 bytes, so that vectorised plug-ins may read whole lanes.
    void* block =
        memory ? std::realloc(memory.get(), size) : std::aligned_alloc(32, (size + 31) & ~size_t(31));
    if (!block)
        throw std::bad_alloc();
    memory.release();
    memory.reset(block);
    return block;
}

void LocalPluginAudioContext::startProcessing() {
    instance->startProcess();
}

int LocalPluginAudioContext::processAudio(unsigned int frames, bool flag1, bool flag2) {
    return instance->process(frames, flag1, flag2);
}

void LocalPluginAudioContext::stopProcessing() {
    instance->stopProcess();
}

} // namespace plugin
