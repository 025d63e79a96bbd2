// A plug-in that, when the host selects a program, behaves as if the user moved its one parameter in
// its editor: begin edit, automate, end edit, then asks the host to refresh its display. Program 2
// instead makes it automate the parameter from inside every processing call, as plug-ins with internal
// modulation do.

#include "TestPlugin.h"

namespace {

constexpr VstInt32 AUTOMATE_WHILE_PROCESSING = 2;

class Automator : public TestPlugin {
public:
    explicit Automator(audioMasterCallback host) : TestPlugin(host, 0x5A74416D, "Automator") {
        effect.numParams = 1;
        effect.numPrograms = 3;
    }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override {
        switch (opcode) {
        case effSetProgram:
            program = static_cast<VstInt32>(value);
            if (program != AUTOMATE_WHILE_PROCESSING) {
                edit(0.25f);
                host(&effect, audioMasterUpdateDisplay, 0, 0, nullptr, 0.0f);
            }
            return 0;
        case effGetProgram:
            return program;
        default:
            return TestPlugin::dispatch(opcode, index, value, ptr, opt);
        }
    }
    void setParameter(VstInt32, float value) override { gain = value; }
    float getParameter(VstInt32) override { return gain; }
    void process(float** inputs, float** outputs, VstInt32 frames) override {
        TestPlugin::process(inputs, outputs, frames);
        if (program == AUTOMATE_WHILE_PROCESSING)
            edit(gain > 0.5f ? 0.25f : 0.75f);
    }

private:
    void edit(float value) {
        host(&effect, audioMasterBeginEdit, 0, 0, nullptr, 0.0f);
        gain = value;
        host(&effect, audioMasterAutomate, 0, 0, nullptr, gain);
        host(&effect, audioMasterEndEdit, 0, 0, nullptr, 0.0f);
    }

    float gain = 1.0f;
    VstInt32 program = 0;
};

} // namespace

TEST_PLUGIN_MAIN(Automator)
