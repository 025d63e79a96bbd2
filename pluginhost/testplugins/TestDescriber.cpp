// An effect that describes itself in every way the host asks about: pins, parameter properties,
// programs, key names, and names in UTF-8 and Latin-1. It counts the effects it makes, and it also exports
// "main_macho", which must lose against "VSTPluginMain".

#include "TestPlugin.h"

namespace {

ERect editorRect{0, 0, 200, 320}; // top, left, bottom, right

constexpr const char* PARAMETER_NAMES[] = {"Gain", "mode-short", "Bypass", "Mix"};

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

constexpr const char* CAPABILITIES[] = {"receiveVstMidiEvent", "sendVstMidiEvent", "MPE"};

class Describer : public TestPlugin {
public:
    explicit Describer(audioMasterCallback host)
        : TestPlugin(host, 0x5A744465, "Gr\xfcn Describer", 4, 6, effFlagsHasEditor | effFlagsCanReplacing) {
        vendor = "Zelvar T\xc3\xabst"; // UTF-8, the name Latin-1
        vendorVersion = 1234;
        category = kPlugCategMaxCount; // beyond the known categories
        capabilities = CAPABILITIES;
        effect.numParams = 4;
        effect.numPrograms = 3;
        effect.initialDelay = 64;
    }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override {
        char* text = static_cast<char*>(ptr);
        switch (opcode) {
        case effGetInputProperties:
            return describeInputPin(index, static_cast<VstPinProperties*>(ptr));
        case effGetParamName:
            std::strcpy(text, PARAMETER_NAMES[index]);
            return 0;
        case effCanBeAutomated:
            return index != 2;
        case effGetParameterProperties:
            return describeParameter(index, static_cast<VstParameterProperties*>(ptr));
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
        const bool dpi = std::strcmp(capability, "supportsViewDpiScaling") == 0;
        return TestPlugin::canDo(capability) ? 1 : dpi ? 2 : -1;
    }

    void setParameter(VstInt32 index, float value) override { values[index] = value; }
    float getParameter(VstInt32 index) override { return values[index]; }

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

    // Key 36 is also named after program 1, key 40 is "---", key 44 fills the name without a terminator.
    static VstIntPtr nameKey(MidiKeyName* key) {
        if (key->thisKeyNumber == 44) {
            std::memset(key->keyName, 'x', sizeof key->keyName);
            return 1;
        }
        const char* name = key->thisKeyNumber == 40     ? "---"
                           : key->thisProgramIndex == 1 ? "Kick (Bright)"
                                                        : "Kick";
        std::strcpy(key->keyName, key->thisKeyNumber == 36 || key->thisKeyNumber == 40 ? name : "unnamed");
        return std::strcmp(key->keyName, "unnamed") != 0;
    }

    float values[4] = {0.5f, 0.0f, 0.0f, 1.0f};
    int program = 0;
};

} // namespace

// How many effects the entry function has made.
TEST_PLUGIN_EXPORT int zelvarTestCreatedEffects;
int zelvarTestCreatedEffects = 0;

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    ++zelvarTestCreatedEffects;
    return (new Describer(host))->getEffect();
}

TEST_PLUGIN_EXPORT AEffect* main_macho(audioMasterCallback) {
    return nullptr;
}
