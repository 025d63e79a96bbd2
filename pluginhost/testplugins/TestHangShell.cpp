// A shell of four plug-ins that each hang for good at one stage: in effOpen, in processing, in a program
// change and in effClose. The device id selects the stage: 1 open, 2 process, 3 program, 4 close.

#include "TestPlugin.h"

#include <unistd.h>

namespace {

enum Stage : VstInt32 { OPEN = 1, PROCESS = 2, PRESET = 3, CLOSE = 4 };

constexpr ShellMember MEMBERS[] = {{OPEN, nullptr}, {PROCESS, nullptr}, {PRESET, nullptr}, {CLOSE, nullptr}};

class Hanger : public TestPlugin {
public:
    Hanger(audioMasterCallback host, VstInt32 stage) : TestPlugin(host, stage, "Hanger"), stage(stage) {
        effect.numPrograms = 2;
    }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override {
        hangIn(opcode == effOpen ? OPEN : opcode == effClose ? CLOSE : opcode == effSetProgram ? PRESET : 0);
        return TestPlugin::dispatch(opcode, index, value, ptr, opt);
    }
    void process(float** inputs, float** outputs, VstInt32 frames) override {
        hangIn(PROCESS);
        TestPlugin::process(inputs, outputs, frames);
    }

private:
    void hangIn(VstInt32 now) const {
        while (now == stage)
            pause();
    }

    VstInt32 stage;
};

} // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    const VstInt32 id = currentShellId(host);
    if (id == 0)
        return TestPlugin::makeShell(host, 0x5A744867, "Test Hang Shell", MEMBERS);
    return id >= OPEN && id <= CLOSE ? (new Hanger(host, id))->getEffect() : nullptr;
}
