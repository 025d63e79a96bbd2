#pragma once

#include "plugin/PluginAudioContext.h"

#include <cstdint>
#include <vector>

namespace plugin::benchmarks {

// An audio context over the process's own memory: the plug-in called directly, with no transport.
class InProcessAudioContext : public PluginAudioContext {
public:
    using PluginAudioContext::PluginAudioContext;

    void* getOrAllocateMemory(size_t size) override {
        storage.assign(size, 0);
        return storage.data();
    }

private:
    std::vector<uint8_t> storage;
};

} // namespace plugin::benchmarks
