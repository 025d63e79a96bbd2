// A note-to-note plug-in that sends every MIDI event of a block back to the host from its processing
// routine, reports each sysex message it got as controller 127 with the message length, and adds two
// events whose offsets lie outside the block, to show how the host clamps them.

#include "TestPlugin.h"

#include <initializer_list>

namespace {

class MidiEcho : public TestPlugin {
public:
    static constexpr int CAPACITY = 512;

    explicit MidiEcho(audioMasterCallback host) : TestPlugin(host, 0x5A744D45, 0, 2, effFlagsCanReplacing) {
        name = "MIDI Echo";
        category = kPlugCategSynth;
    }

protected:
    VstIntPtr canDo(const char* capability) override {
        for (const char* known : {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents",
                                  "sendVstMidiEvent", "receiveVstSysexEvent"}) {
            if (std::strcmp(capability, known) == 0)
                return 1;
        }
        return 0;
    }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override {
        if (opcode != effProcessEvents)
            return TestPlugin::dispatch(opcode, index, value, ptr, opt);
        const auto* events = static_cast<const VstEvents*>(ptr);
        pending = 0;
        for (int i = 0; i < events->numEvents && pending < CAPACITY - 2; ++i) {
            const VstEvent* event = events->events[i];
            VstMidiEvent& echo = echoes[pending++];
            echo = VstMidiEvent{};
            echo.type = kVstMidiType;
            echo.byteSize = sizeof(VstMidiEvent);
            echo.deltaFrames = event->deltaFrames;
            if (event->type == kVstMidiType) {
                std::memcpy(echo.midiData, reinterpret_cast<const VstMidiEvent*>(event)->midiData, 3);
            } else {
                const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
                echo.midiData[0] = static_cast<char>(0xB0);
                echo.midiData[1] = 127;
                echo.midiData[2] = static_cast<char>(sysex->dumpBytes);
            }
        }
        return 1;
    }
    void process(float** inputs, float** outputs, VstInt32 frames) override {
        TestPlugin::process(inputs, outputs, frames);
        if (pending == 0)
            return;
        addOutOfRange(-5, 1);
        addOutOfRange(10000, 2);
        VstEvent* pointers[CAPACITY];
        for (int i = 0; i < pending; ++i)
            pointers[i] = reinterpret_cast<VstEvent*>(&echoes[i]);
        // VstEvents declares room for two pointers; hosts read as many as numEvents says.
        alignas(VstEvents) unsigned char storage[sizeof(VstEvents) + sizeof(VstEvent*) * CAPACITY];
        auto* list = reinterpret_cast<VstEvents*>(storage);
        list->numEvents = pending;
        list->reserved = 0;
        std::memcpy(list->events, pointers, sizeof(VstEvent*) * pending);
        host(&effect, audioMasterProcessEvents, 0, 0, list, 0.0f);
        pending = 0;
    }

private:
    void addOutOfRange(VstInt32 deltaFrames, char marker) {
        VstMidiEvent& event = echoes[pending++];
        event = VstMidiEvent{};
        event.type = kVstMidiType;
        event.byteSize = sizeof(VstMidiEvent);
        event.deltaFrames = deltaFrames;
        event.midiData[0] = static_cast<char>(0x90);
        event.midiData[1] = marker;
        event.midiData[2] = 100;
    }

    VstMidiEvent echoes[CAPACITY];
    int pending = 0;
};

} // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    return (new MidiEcho(host))->getEffect();
}
