#pragma once

#include <cstddef>
#include <cstdint>

namespace plugin {

// One record of an audio context's event lists: 29 bytes, packed, shared with the client.
#pragma pack(push, 1)
struct PluginHostEvent {
    enum Kind : uint16_t { MIDI = 0, SYSEX = 1, NOTE_EXPRESSION = 2 };
    static constexpr int MAX_SYSEX_BYTES = 16;

    uint16_t kind;
    uint16_t sampleOffset;
    double musicalPosition; // in quarter notes
    union {
        uint8_t midi[4]; // status, data 1, data 2, 0
        struct {
            uint8_t bytes[MAX_SYSEX_BYTES];
        } sysex;
        struct {
            uint16_t channel;
            uint16_t key;
            float value;
            uint8_t expressionKind;
        } noteExpression;
        uint8_t payload[16];
    };
    uint8_t sysexSize;
};
#pragma pack(pop)

static_assert(sizeof(PluginHostEvent) == 29);
static_assert(offsetof(PluginHostEvent, midi) == 12);
static_assert(offsetof(PluginHostEvent, sysexSize) == 28);

// One record of the parameter-change list.
struct PluginParameterChange {
    float value; // normalized
    uint16_t index;
    uint16_t sampleOffset;
};

static_assert(sizeof(PluginParameterChange) == 8);

} // namespace plugin
