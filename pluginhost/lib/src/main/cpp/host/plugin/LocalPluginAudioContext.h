#pragma once

#include "plugin/PluginAudioContext.h"

#include <memory>

namespace plugin {

class PluginInstance;

// An instance's audio block in this process's own memory, for hosting without a transport: the
// processing calls go straight to the instance.
class LocalPluginAudioContext : public PluginAudioContext {
public:
    // Sized from the instance's channel and parameter counts.
    LocalPluginAudioContext(PluginInstance* instance, int blockSize);

    void* getOrAllocateMemory(size_t size) override;
    void startProcessing() override;
    int processAudio(unsigned int frames, bool flag1, bool flag2) override;
    void stopProcessing() override;

private:
    struct FreeMemory {
        void operator()(void* memory) const;
    };

    PluginInstance* instance;
    std::unique_ptr<void, FreeMemory> memory;
};

} // namespace plugin
