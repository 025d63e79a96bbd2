#include "plugin/PluginAudioContext.h"

#include "base/core/SharedMemory.h"
#include "base/core/StringBuilder.h"

#include <cstring>

namespace plugin {

namespace {

constexpr size_t align16(size_t size) {
    return (size + 15) & ~static_cast<size_t>(15);
}

// Event and parameter-change regions are sized for 29-byte records, whatever their record type.
constexpr size_t RECORD_SLOT = sizeof(PluginHostEvent);

} // namespace

base::core::String getAudioContextName(int hostId, int instanceId) {
    return base::core::StringBuilder() + base::core::SHARED_MEMORY_NAME_PREFX + hostId + "-" + instanceId;
}

PluginAudioContext::PluginAudioContext(int blockSize, int inputChannelCount, int outputChannelCount,
                                       int parameterCount, bool hostSide)
    : blockSize(blockSize), paddedBlockSize((blockSize + 3) & ~3), inputChannelCount(inputChannelCount),
      outputChannelCount(outputChannelCount),
      parameterCount(parameterCount), sideMarkers{static_cast<uint8_t>(hostSide ? 0 : 1),
                                                  static_cast<uint8_t>(hostSide ? 1 : 0)} {
    inputEvents.capacity = EVENT_CAPACITY;
    outputEvents.capacity = EVENT_CAPACITY;
    parameterChanges.capacity = PARAMETER_CHANGE_CAPACITY;
}

void PluginAudioContext::init() {
    const size_t channelBytes = sizeof(float) * static_cast<size_t>(paddedBlockSize);
    const size_t regionSizes[] = {
        GUARD_SIZE,
        sizeof(PluginTransportInfo),
        GUARD_SIZE,
        align16(channelBytes * inputChannelCount),
        GUARD_SIZE,
        align16(channelBytes * outputChannelCount),
        GUARD_SIZE,
        16,
        align16(RECORD_SLOT * inputEvents.capacity),
        GUARD_SIZE,
        16,
        align16(RECORD_SLOT * outputEvents.capacity),
        GUARD_SIZE,
        16,
        align16(RECORD_SLOT * parameterChanges.capacity),
        GUARD_SIZE,
        align16(static_cast<size_t>(parameterCount)),
        GUARD_SIZE,
    };
    size_t total = 0;
    for (size_t size : regionSizes)
        total += size;
    memory = static_cast<uint8_t*>(getOrAllocateMemory(total));
    memorySize = total;

    uint8_t* cursor = memory;
    int region = 0;
    auto next = [&]() {
        uint8_t* start = cursor;
        cursor += regionSizes[region++];
        return start;
    };
    auto list = [&](auto& target) {
        target.header = reinterpret_cast<uint32_t*>(next());
        uint8_t* records = next();
        target.records = target.capacity == 0 ? nullptr : reinterpret_cast<decltype(target.records)>(records);
    };
    guards[0] = next();
    transport = reinterpret_cast<PluginTransportInfo*>(next());
    guards[1] = next();
    inputArea = reinterpret_cast<float*>(next());
    guards[2] = next();
    outputArea = reinterpret_cast<float*>(next());
    guards[3] = next();
    list(inputEvents);
    guards[4] = next();
    list(outputEvents);
    guards[5] = next();
    list(parameterChanges);
    guards[6] = next();
    parameterFlags = next();
    guards[7] = next();
}

void PluginAudioContext::clearAndWriteGuards() {
    std::memset(memory, 0, memorySize);
    for (uint8_t* guard : guards)
        std::memset(guard, GUARD_BYTE, GUARD_SIZE);
}

bool PluginAudioContext::guardsIntact() const {
    for (const uint8_t* guard : guards) {
        for (int i = 0; i < GUARD_SIZE; ++i) {
            if (guard[i] != GUARD_BYTE)
                return false;
        }
    }
    return true;
}

} // namespace plugin
