// A shell of three plug-ins: a stereo effect, a synth and a MIDI-sending analyser, enumerated in that
// order. The ids include one with the top bit set.

#include "TestPlugin.h"

namespace {

constexpr VstInt32 EFFECT_ID = 0x41424344;
constexpr VstInt32 SYNTH_ID = static_cast<VstInt32>(0x80000001u);
constexpr VstInt32 ANALYSER_ID = 0x00000ABC;
constexpr ShellMember MEMBERS[] = {
    {EFFECT_ID, "Shell Effect"}, {SYNTH_ID, "Shell Synth"}, {ANALYSER_ID, "Shell Analyser"}};
constexpr const char* RECEIVES_MIDI[] = {"receiveVstMidiEvent"};
constexpr const char* SENDS_MIDI[] = {"sendVstMidiEvent"};

TestPlugin* member(TestPlugin* plugin, VstInt32 category, VstInt32 vendorVersion,
                   std::span<const char* const> capabilities) {
    plugin->category = category;
    plugin->vendorVersion = vendorVersion;
    plugin->capabilities = capabilities;
    return plugin;
}

} // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    switch (currentShellId(host)) {
    case 0:
        return TestPlugin::makeShell(host, 0x5A745368, "Test Shell", MEMBERS);
    case EFFECT_ID:
        return (new TestPlugin(host, EFFECT_ID, "Shell Effect"))->getEffect();
    case SYNTH_ID:
        return member(new TestPlugin(host, SYNTH_ID, "Shell Synth", 0, 2,
                                     effFlagsIsSynth | effFlagsCanReplacing),
                      kPlugCategSynth, 2001, RECEIVES_MIDI)
            ->getEffect();
    case ANALYSER_ID:
        return member(new TestPlugin(host, ANALYSER_ID, "Shell Analyser", 1, 0), kPlugCategAnalysis, 3,
                      SENDS_MIDI)
            ->getEffect();
    default:
        return nullptr;
    }
}
