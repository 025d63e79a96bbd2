#pragma once

#include "plugin/PluginAudioContext.h"

#include <vector>

namespace plugin::test {

// A context over ordinary memory, for tests that need the layout without shared memory.
class HeapAudioContext : public PluginAudioContext {
public:
    using PluginAudioContext::PluginAudioContext;
    void* getOrAllocateMemory(size_t size) override {
        storage.assign(size, 0x55);
        return storage.data();
    }

    std::vector<uint8_t> storage;
};

} // namespace plugin::test
