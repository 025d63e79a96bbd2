// A shell of three plug-ins: a stereo effect, a synth and a MIDI-sending analyser, enumerated in that
// order. The ids include one with the top bit set.

#include "TestPlugin.h"

namespace {

constexpr VstInt32 EFFECT_ID = 0x41424344;
constexpr VstInt32 SYNTH_ID = static_cast<VstInt32>(0x80000001u);
constexpr VstInt32 ANALYSER_ID = 0x00000ABC;
constexpr VstInt32 ENUMERATION[] = {EFFECT_ID, SYNTH_ID, ANALYSER_ID};

class Shell : public TestPlugin {
public:
    explicit Shell(audioMasterCallback host) : TestPlugin(host, 0x5A745368, 0, 0, 0) {
        name = "Test Shell";
        category = kPlugCategShell;
    }

protected:
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override {
        if (opcode != effShellGetNextPlugin)
            return TestPlugin::dispatch(opcode, index, value, ptr, opt);
        if (next == 3)
            return 0;
        static const char* const names[] = {"Shell Effect", "Shell Synth", "Shell Analyser"};
        std::strcpy(static_cast<char*>(ptr), names[next]);
        return ENUMERATION[next++];
    }

private:
    int next = 0;
};

class ShellEffect : public TestPlugin {
public:
    explicit ShellEffect(audioMasterCallback host) : TestPlugin(host, EFFECT_ID, 2, 2, effFlagsCanReplacing) {
        name = "Shell Effect";
    }
};

class ShellSynth : public TestPlugin {
public:
    explicit ShellSynth(audioMasterCallback host)
        : TestPlugin(host, SYNTH_ID, 0, 2, effFlagsIsSynth | effFlagsCanReplacing) {
        name = "Shell Synth";
        category = kPlugCategSynth;
        vendorVersion = 2001;
    }

protected:
    VstIntPtr canDo(const char* capability) override {
        return std::strcmp(capability, "receiveVstMidiEvent") == 0 ? 1 : 0;
    }
};

class ShellAnalyser : public TestPlugin {
public:
    explicit ShellAnalyser(audioMasterCallback host)
        : TestPlugin(host, ANALYSER_ID, 1, 0, effFlagsCanReplacing) {
        name = "Shell Analyser";
        category = kPlugCategAnalysis;
        vendorVersion = 3;
    }

protected:
    VstIntPtr canDo(const char* capability) override {
        return std::strcmp(capability, "sendVstMidiEvent") == 0 ? 1 : 0;
    }
};

} // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    switch (currentShellId(host)) {
    case 0:
        return (new Shell(host))->getEffect();
    case EFFECT_ID:
        return (new ShellEffect(host))->getEffect();
    case SYNTH_ID:
        return (new ShellSynth(host))->getEffect();
    case ANALYSER_ID:
        return (new ShellAnalyser(host))->getEffect();
    default:
        return nullptr;
    }
}
