// A note-to-note plug-in that sends every MIDI event of a block back to the host from its processing
// routine, reports each sysex message it got as controller 127 with the message length, and adds two
// events whose offsets lie outside the block, to show how the host clamps them.

#include "TestPlugin.h"

namespace {

constexpr int CAPACITY = 512;
constexpr const char* CAPABILITIES[] = {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents",
                                        "sendVstMidiEvent", "receiveVstSysexEvent"};

class MidiEcho : public TestPlugin {
public:
    explicit MidiEcho(audioMasterCallback host) : TestPlugin(host, 0x5A744D45, "MIDI Echo", 0, 2) {
        category = kPlugCategSynth;
        capabilities = CAPABILITIES;
    }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override {
        if (opcode != effProcessEvents)
            return TestPlugin::dispatch(opcode, index, value, ptr, opt);
        const auto* events = static_cast<const VstEvents*>(ptr);
        pending = 0;
        for (int i = 0; i < events->numEvents && pending < CAPACITY - 2; ++i) {
            const VstEvent* event = events->events[i];
            const char* data = reinterpret_cast<const VstMidiEvent*>(event)->midiData;
            echoes[pending++] = event->type == kVstMidiType
                                    ? midiEvent(event->deltaFrames, data[0], data[1], data[2])
                                    : midiEvent(event->deltaFrames, 0xB0, 127,
                                                reinterpret_cast<const VstMidiSysexEvent*>(event)->dumpBytes);
        }
        return 1;
    }
    void process(float** inputs, float** outputs, VstInt32 frames) override {
        TestPlugin::process(inputs, outputs, frames);
        if (pending == 0)
            return;
        echoes[pending++] = midiEvent(-5, 0x90, 1, 100);
        echoes[pending++] = midiEvent(10000, 0x90, 2, 100);
        VstEvent* pointers[CAPACITY];
        for (int i = 0; i < pending; ++i)
            pointers[i] = reinterpret_cast<VstEvent*>(&echoes[i]);
        sendEvents(pointers, pending);
        pending = 0;
    }

private:
    VstMidiEvent echoes[CAPACITY];
    int pending = 0;
};

} // namespace

TEST_PLUGIN_MAIN(MidiEcho)
