// An effect that describes itself in every way the host asks about: pins, parameter properties,
// programs, key names, and names in UTF-8 and Latin-1. It records every dispatcher opcode it receives
// and, while processing, sends MIDI back and asks for the process level, so tests can see what the host
// did. It also exports "main_macho", which must lose against "VSTPluginMain".

#include "TestPlugin.h"

#include <cstdio>

namespace {

constexpr int LOG_CAPACITY = 4096;
int opcodeLog[LOG_CAPACITY];
int opcodeCount = 0;
VstIntPtr lastProcessLevel = -1;
int createdEffects = 0;
ERect editorRect{0, 0, 200, 320}; // top, left, bottom, right

class Describer : public TestPlugin {
public:
    explicit Describer(audioMasterCallback host)
        : TestPlugin(host, 0x5A744465, 4, 6, effFlagsHasEditor | effFlagsCanReplacing) {
        name = "Gr\xfcn Describer";    // Latin-1
        vendor = "Zelvar T\xc3\xabst"; // UTF-8
        vendorVersion = 1234;
        category = kPlugCategMaxCount; // beyond the known categories
        effect.numParams = 4;
        effect.numPrograms = 3;
        effect.initialDelay = 64;
    }

protected:
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override {
        if (opcodeCount < LOG_CAPACITY)
            opcodeLog[opcodeCount++] = opcode;
        char* text = static_cast<char*>(ptr);
        switch (opcode) {
        case effGetInputProperties:
            return describeInputPin(index, static_cast<VstPinProperties*>(ptr));
        case effGetParamName:
            std::strcpy(text, PARAMETER_NAMES[index]);
            return 0;
        case effGetParamLabel:
            std::strcpy(text, PARAMETER_UNITS[index]);
            return 0;
        case effGetParamDisplay:
            std::snprintf(text, 8, "%.2f", values[index]);
            return 0;
        case effCanBeAutomated:
            return index != 2;
        case effGetParameterProperties:
            return describeParameter(index, static_cast<VstParameterProperties*>(ptr));
        case effGetProgramNameIndexed:
            std::strcpy(text, PROGRAM_NAMES[index]);
            return 1;
        case effGetProgram:
            return program;
        case effSetProgram:
            program = static_cast<int>(value);
            return 0;
        case effGetMidiKeyName:
            return nameKey(static_cast<MidiKeyName*>(ptr));
        case effEditGetRect:
            *static_cast<ERect**>(ptr) = &editorRect;
            return 1;
        default:
            return TestPlugin::dispatch(opcode, index, value, ptr, opt);
        }
    }

    VstIntPtr canDo(const char* capability) override {
        if (std::strcmp(capability, "receiveVstMidiEvent") == 0 ||
            std::strcmp(capability, "sendVstMidiEvent") == 0 || std::strcmp(capability, "MPE") == 0)
            return 1;
        if (std::strcmp(capability, "supportsViewDpiScaling") == 0)
            return 2;
        return -1;
    }

    void setParameter(VstInt32 index, float value) override { values[index] = value; }
    float getParameter(VstInt32 index) override { return values[index]; }

    // Adds 0.25 to the first input, and sends two notes (timed before and after the block) and a sysex
    // message back to the host.
    void process(float** inputs, float** outputs, VstInt32 frames) override {
        for (int channel = 0; channel < effect.numOutputs; ++channel) {
            for (int frame = 0; frame < frames; ++frame)
                outputs[channel][frame] = (inputs ? inputs[0][frame] : 0.0f) + 0.25f;
        }
        VstMidiEvent noteOn{
            kVstMidiType, sizeof(VstMidiEvent), -5, 0, 0, 0, {'\x90', 60, 100, 0}, 0, 0, 0, 0};
        VstMidiEvent noteOff{
            kVstMidiType, sizeof(VstMidiEvent), 10000, 0, 0, 0, {'\x80', 60, 0, 0}, 0, 0, 0, 0};
        char dump[] = {'\xf0', 0x7e, '\xf7'};
        VstMidiSysexEvent sysex{kVstSysExType, sizeof(VstMidiSysexEvent), 0, 0, 3, 0, dump, 0};
        struct {
            VstInt32 numEvents;
            VstIntPtr reserved;
            VstEvent* events[3];
        } list{3,
               0,
               {reinterpret_cast<VstEvent*>(&noteOn), reinterpret_cast<VstEvent*>(&sysex),
                reinterpret_cast<VstEvent*>(&noteOff)}};
        host(&effect, audioMasterProcessEvents, 0, 0, &list, 0.0f);
        lastProcessLevel = host(&effect, audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f);
    }

private:
    static constexpr const char* PARAMETER_NAMES[] = {"Gain", "mode-short", "Bypass", "Mix"};
    static constexpr const char* PARAMETER_UNITS[] = {"dB", "", "", "%"};
    static constexpr const char* PROGRAM_NAMES[] = {"Init", "Bright", "Dark"};

    static VstIntPtr describeInputPin(VstInt32 index, VstPinProperties* pin) {
        if (index == 0) {
            std::strcpy(pin->label, "Eingang \xc3\x9c"); // UTF-8
            pin->flags = kVstPinIsActive | kVstPinIsStereo;
            return 1;
        }
        if (index == 2) {
            std::strcpy(pin->label, "Seitenkette \xc4"); // Latin-1
            pin->flags = kVstPinIsActive;
            return 1;
        }
        return 0;
    }

    static VstIntPtr describeParameter(VstInt32 index, VstParameterProperties* properties) {
        switch (index) {
        case 1:
            std::strcpy(properties->label, "Mode");
            properties->flags = kVstParameterUsesIntegerMinMax | kVstParameterSupportsDisplayIndex |
                                kVstParameterSupportsDisplayCategory;
            properties->minInteger = 0;
            properties->maxInteger = 3;
            properties->displayIndex = 3;
            std::strcpy(properties->categoryLabel, "Filter");
            return 1;
        case 2:
            // Display index and category are filled but not announced by the flags.
            std::strcpy(properties->label, "Bypass Switch");
            properties->flags = kVstParameterIsSwitch;
            properties->minInteger = 0;
            properties->maxInteger = 1;
            properties->displayIndex = 7;
            std::strcpy(properties->categoryLabel, "Ignored");
            return 1;
        case 3:
            properties->flags = kVstParameterSupportsDisplayIndex;
            properties->minInteger = -5;
            properties->maxInteger = 5;
            properties->displayIndex = -2;
            return 1;
        default:
            return 0;
        }
    }

    static VstIntPtr nameKey(MidiKeyName* key) {
        switch (key->thisKeyNumber) {
        case 36:
            std::strcpy(key->keyName, key->thisProgramIndex == 1 ? "Kick (Bright)" : "Kick");
            return 1;
        case 38:
            std::strcpy(key->keyName, "Snar\xe9"); // Latin-1
            return 1;
        case 40:
            std::strcpy(key->keyName, "---");
            return 1;
        case 42:
            std::strcpy(key->keyName, "Hi-Hat \xe2\x86\x91"); // UTF-8
            return 1;
        case 44:
            std::memset(key->keyName, 'x', sizeof key->keyName); // not terminated
            return 1;
        default:
            std::strcpy(key->keyName, "unnamed");
            return 0;
        }
    }

    float values[4] = {0.5f, 0.0f, 0.0f, 1.0f};
    int program = 0;
};

} // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    ++createdEffects;
    return (new Describer(host))->getEffect();
}

TEST_PLUGIN_EXPORT AEffect* main_macho(audioMasterCallback) {
    return nullptr;
}

// The opcodes received since the last clear, oldest first.
TEST_PLUGIN_EXPORT const int* zelvarTestOpcodes(int* count) {
    *count = opcodeCount;
    return opcodeLog;
}

TEST_PLUGIN_EXPORT void zelvarTestClearOpcodes() {
    opcodeCount = 0;
}

// The host's answer to audioMasterGetCurrentProcessLevel during the last processing call.
TEST_PLUGIN_EXPORT VstIntPtr zelvarTestLastProcessLevel() {
    return lastProcessLevel;
}

// How many effects the entry function has made.
TEST_PLUGIN_EXPORT int zelvarTestCreatedEffects() {
    return createdEffects;
}
