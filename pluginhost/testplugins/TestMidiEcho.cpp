// A note-to-note plug-in that sends every MIDI event of a block back to the host from its processing
// routine.

#include "TestPlugin.h"

namespace {

constexpr int CAPACITY = 512;
constexpr const char* CAPABILITIES[] = {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents",
                                        "sendVstMidiEvent"};

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
        pending = std::min<int>(events->numEvents, CAPACITY);
        for (int i = 0; i < pending; ++i)
            echoes[i] = *reinterpret_cast<const VstMidiEvent*>(events->events[i]);
        return 1;
    }
    void process(float** inputs, float** outputs, VstInt32 frames) override {
        TestPlugin::process(inputs, outputs, frames);
        VstEvent* pointers[CAPACITY];
        for (int i = 0; i < pending; ++i)
            pointers[i] = reinterpret_cast<VstEvent*>(&echoes[i]);
        if (pending > 0)
            sendEvents(pointers, pending);
        pending = 0;
    }

private:
    VstMidiEvent echoes[CAPACITY];
    int pending = 0;
};

} // namespace

TEST_PLUGIN_MAIN(MidiEcho)
