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

constexpr const char* PARAMETER_NAMES[] = {"Gain", "mode-short", "Bypass", "Mix"};
constexpr const char* PARAMETER_UNITS[] = {"dB", "", "", "%"};
constexpr const char* PROGRAM_NAMES[] = {"Init", "Bright", "Dark"};

// Of parameters 1 to 3; only the fields given are written.
struct ParameterProperties {
    const char* label;
    VstInt32 flags, minInteger, maxInteger, displayIndex;
    const char* categoryLabel;
};
constexpr ParameterProperties PARAMETER_PROPERTIES[] = {
    {"Mode",
     kVstParameterUsesIntegerMinMax | kVstParameterSupportsDisplayIndex |
         kVstParameterSupportsDisplayCategory,
     0, 3, 3, "Filter"},
    // Display index and category are filled but not announced by the flags.
    {"Bypass Switch", kVstParameterIsSwitch, 0, 1, 7, "Ignored"},
    {nullptr, kVstParameterSupportsDisplayIndex, -5, 5, -2, nullptr},
};

// Key 36 is also named after program 1, key 44 fills the name without a terminator.
constexpr std::pair<VstInt32, const char*> KEY_NAMES[] = {
    {36, "Kick"}, {38, "Snar\xe9"}, {40, "---"}, {42, "Hi-Hat \xe2\x86\x91"}}; // Latin-1, UTF-8

class Describer : public TestPlugin {
public:
    explicit Describer(audioMasterCallback host)
        : TestPlugin(host, 0x5A744465, "Gr\xfcn Describer", 4, 6, effFlagsHasEditor | effFlagsCanReplacing) {
        vendor = "Zelvar T\xc3\xabst"; // UTF-8, the name Latin-1
        vendorVersion = 1234;
        category = kPlugCategMaxCount; // beyond the known categories
        effect.numParams = 4;
        effect.numPrograms = 3;
        effect.initialDelay = 64;
    }

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
        for (const char* known : {"receiveVstMidiEvent", "sendVstMidiEvent", "MPE"}) {
            if (std::strcmp(capability, known) == 0)
                return 1;
        }
        return std::strcmp(capability, "supportsViewDpiScaling") == 0 ? 2 : -1;
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
        VstMidiEvent noteOn = midiEvent(-5, 0x90, 60, 100);
        VstMidiEvent noteOff = midiEvent(10000, 0x80, 60, 0);
        char dump[] = {'\xf0', 0x7e, '\xf7'};
        VstMidiSysexEvent sysex{kVstSysExType, sizeof(VstMidiSysexEvent), 0, 0, 3, 0, dump, 0};
        VstEvent* events[] = {reinterpret_cast<VstEvent*>(&noteOn), reinterpret_cast<VstEvent*>(&sysex),
                              reinterpret_cast<VstEvent*>(&noteOff)};
        sendEvents(events, 3);
        lastProcessLevel = host(&effect, audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f);
    }

private:
    static VstIntPtr describeInputPin(VstInt32 index, VstPinProperties* pin) {
        if (index != 0 && index != 2)
            return 0;
        std::strcpy(pin->label, index == 0 ? "Eingang \xc3\x9c" : "Seitenkette \xc4"); // UTF-8, Latin-1
        pin->flags = index == 0 ? kVstPinIsActive | kVstPinIsStereo : kVstPinIsActive;
        return 1;
    }

    static VstIntPtr describeParameter(VstInt32 index, VstParameterProperties* properties) {
        if (index < 1 || index > 3)
            return 0;
        const ParameterProperties& given = PARAMETER_PROPERTIES[index - 1];
        if (given.label)
            std::strcpy(properties->label, given.label);
        properties->flags = given.flags;
        properties->minInteger = given.minInteger;
        properties->maxInteger = given.maxInteger;
        properties->displayIndex = given.displayIndex;
        if (given.categoryLabel)
            std::strcpy(properties->categoryLabel, given.categoryLabel);
        return 1;
    }

    static VstIntPtr nameKey(MidiKeyName* key) {
        if (key->thisKeyNumber == 44) {
            std::memset(key->keyName, 'x', sizeof key->keyName);
            return 1;
        }
        const char* name = key->thisKeyNumber == 36 && key->thisProgramIndex == 1 ? "Kick (Bright)" : nullptr;
        for (const auto& [number, known] : KEY_NAMES)
            name = !name && number == key->thisKeyNumber ? known : name;
        std::strcpy(key->keyName, name ? name : "unnamed");
        return name != nullptr;
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
