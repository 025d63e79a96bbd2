#pragma once

#include "base/core/SharedMemory.h"
#include "base/core/SmartPtr.h"
#include "plugin/PluginAudioContext.h"

namespace plugin {

class RemotePluginHostProxy;

// The client side of an instance's audio block: opens the host's shared memory and drives processing
// over the calling thread's worker pipe.
class RemotePluginAudioContextProxy : public PluginAudioContext {
public:
    RemotePluginAudioContextProxy(RemotePluginHostProxy* proxy, int instanceId, int inputChannelCount,
                                  int outputChannelCount, int parameterCount);

    void* getOrAllocateMemory(size_t size) override;
    void startProcessing() override;
    int processAudio(unsigned int frames, bool flag1, bool flag2) override;
    void stopProcessing() override;

private:
    RemotePluginHostProxy* proxy;
    int instanceId;
    base::core::SmartPtr<base::core::SharedMemory> sharedMemory;
};

} // namespace plugin
