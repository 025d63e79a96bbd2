#pragma once

#include "base/core/SharedMemory.h"
#include "base/core/SmartPtr.h"
#include "plugin/PluginAudioContext.h"

namespace plugin {

class PluginInstance;

// The host side of an instance's audio block: owns the shared memory and calls the instance directly.
class RemotePluginAudioContext : public PluginAudioContext {
public:
    RemotePluginAudioContext(PluginInstance* instance, int hostId, int blockSize);

    void* getOrAllocateMemory(size_t size) override;
    void startProcessing() override;
    int processAudio(unsigned int frames, bool flag1, bool flag2) override;
    void stopProcessing() override;
    // Removes the block's name at once; the mapping stays until the context goes.
    void removeSharedName();

private:
    PluginInstance* instance;
    int hostId;
    base::core::SmartPtr<base::core::SharedMemory> sharedMemory;
};

} // namespace plugin
