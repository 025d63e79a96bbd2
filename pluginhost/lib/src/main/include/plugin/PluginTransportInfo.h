#pragma once

#include <cstddef>
#include <cstdint>

namespace plugin {

// The transport record of an audio context, shared with the client byte for byte.
struct PluginTransportInfo {
    enum Flags : uint32_t {
        PLAYING = 1u << 0,
        TRANSPORT_CHANGED = 7u << 1,
        LOOP_ACTIVE = 1u << 4,
        RECORDING = 1u << 5,
        AUTOMATION_WRITING = 1u << 6,
    };

    double sampleRate;
    double tempo;
    double positionInQuarterNotes;
    uint8_t reserved1[8];
    double systemTime;
    double barStartInQuarterNotes;
    double loopStartInQuarterNotes;
    double loopEndInQuarterNotes;
    int32_t inputLatency;
    int32_t outputLatency;
    uint64_t positionInSamples;
    uint32_t flags;
    uint16_t timeSignatureNumerator;
    uint16_t timeSignatureDenominator;
    uint8_t reserved2[8];
};

static_assert(sizeof(PluginTransportInfo) == 96);
static_assert(offsetof(PluginTransportInfo, systemTime) == 32);
static_assert(offsetof(PluginTransportInfo, inputLatency) == 64);
static_assert(offsetof(PluginTransportInfo, positionInSamples) == 72);
static_assert(offsetof(PluginTransportInfo, flags) == 80);
static_assert(offsetof(PluginTransportInfo, timeSignatureDenominator) == 86);

} // namespace plugin
