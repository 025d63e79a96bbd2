#pragma once

#include "base/core/Object.h"
#include "base/core/String.h"
#include "plugin/PluginHostEvent.h"
#include "plugin/PluginTransportInfo.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace plugin {

// Commands on a worker pipe; a process command is answered with the instance's result.
enum AudioCommand : unsigned char { START_PROCESS = 0, STOP_PROCESS = 1, PROCESS = 2 };

// The logical shared-memory name of an instance's block, the same on both sides.
base::core::String getAudioContextName(int hostId, int instanceId);

// A list in the shared block: a 16-byte header that starts with the record count, then the records.
template <typename Record> struct PluginAudioContextList {
    uint32_t* header = nullptr;
    Record* records = nullptr;
    uint32_t capacity = 0;

    uint32_t count() const { return *header; }
    void setCount(uint32_t value) { *header = value; }
    Record& operator[](uint32_t index) { return records[index]; }
};

// An instance's audio block: channel buffers, event lists, parameter changes, transport and parameter
// flags, laid out identically by host and client so that only small commands travel over the pipes.
class PluginAudioContext : public base::core::Object {
public:
    static constexpr int GUARD_SIZE = 16;
    static constexpr int GUARD_COUNT = 8;
    static constexpr uint8_t GUARD_BYTE = 0xBB;
    static constexpr int EVENT_CAPACITY = 256;
    static constexpr int PARAMETER_CHANGE_CAPACITY = 4096;
    static constexpr uint8_t PARAMETER_WATCHED = 1;
    static constexpr uint8_t PARAMETER_CHANGED = 2;

    PluginAudioContext(int blockSize, int inputChannelCount, int outputChannelCount, int parameterCount,
                       bool hostSide);

    // The address of a block of at least `size` bytes that both sides can see.
    virtual void* getOrAllocateMemory(size_t size) = 0;
    virtual void startProcessing() {}
    virtual int processAudio(unsigned int frames, bool flag1, bool flag2) { return 0; }
    virtual void stopProcessing() {}

    // Computes the layout, gets the memory and points every field into it. Does not clear the block.
    void init();
    // Zero-fills the block and writes the guard bytes (the owner does this once).
    void clearAndWriteGuards();
    bool guardsIntact() const;

    uint8_t* getMemory() const { return memory; }
    size_t getMemorySize() const { return memorySize; }
    int getBlockSize() const { return blockSize; }
    int getPaddedBlockSize() const { return paddedBlockSize; }
    int getInputChannelCount() const { return inputChannelCount; }
    int getOutputChannelCount() const { return outputChannelCount; }
    float* getInputChannel(int channel) const { return inputArea + channel * paddedBlockSize; }
    float* getOutputChannel(int channel) const { return outputArea + channel * paddedBlockSize; }
    float* getInputArea() const { return inputArea; }
    float* getOutputArea() const { return outputArea; }
    PluginAudioContextList<PluginHostEvent>& getInputEvents() { return inputEvents; }
    PluginAudioContextList<PluginHostEvent>& getOutputEvents() { return outputEvents; }
    PluginAudioContextList<PluginParameterChange>& getParameterChanges() { return parameterChanges; }
    PluginTransportInfo* getTransport() const { return transport; }
    int getParameterCount() const { return parameterCount; }
    // Flag bytes are changed from the audio and the main thread, so every access is atomic.
    std::atomic_ref<uint8_t> parameterFlag(int index) const {
        return std::atomic_ref<uint8_t>(parameterFlags[index]);
    }
    uint8_t* getGuard(int index) const { return guards[index]; }

private:
    uint8_t* memory = nullptr;
    size_t memorySize = 0;
    int blockSize;
    int paddedBlockSize;
    int inputChannelCount;
    float* inputArea = nullptr;
    int outputChannelCount;
    float* outputArea = nullptr;
    PluginAudioContextList<PluginHostEvent> inputEvents;
    PluginAudioContextList<PluginHostEvent> outputEvents;
    PluginAudioContextList<PluginParameterChange> parameterChanges;
    PluginTransportInfo* transport = nullptr;
    int parameterCount;
    uint8_t* parameterFlags = nullptr;
    uint8_t* guards[GUARD_COUNT] = {};
    // Which side made the context: 0 and 1 in the host, 1 and 0 in the client.
    uint8_t sideMarkers[2];
};

} // namespace plugin
