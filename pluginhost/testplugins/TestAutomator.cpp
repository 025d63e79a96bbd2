// A plug-in that, when the host selects a program, behaves as if the user moved its one parameter in
// its editor: begin edit, automate, end edit, then asks the host to refresh its display.

#include "TestPlugin.h"

#include <cstdio>

namespace {

class Automator : public TestPlugin {
public:
    explicit Automator(audioMasterCallback host) : TestPlugin(host, 0x5A74416D, 2, 2, effFlagsCanReplacing) {
        name = "Automator";
        effect.numParams = 1;
        effect.numPrograms = 2;
    }

protected:
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override {
        switch (opcode) {
        case effSetProgram:
            program = static_cast<VstInt32>(value);
            host(&effect, audioMasterBeginEdit, 0, 0, nullptr, 0.0f);
            gain = 0.25f;
            host(&effect, audioMasterAutomate, 0, 0, nullptr, gain);
            host(&effect, audioMasterEndEdit, 0, 0, nullptr, 0.0f);
            host(&effect, audioMasterUpdateDisplay, 0, 0, nullptr, 0.0f);
            return 0;
        case effGetProgram:
            return program;
        case effGetParamName:
            std::snprintf(static_cast<char*>(ptr), 8, "Gain");
            return 0;
        case effGetParamDisplay:
            std::snprintf(static_cast<char*>(ptr), 8, "%.2f", gain);
            return 0;
        default:
            return TestPlugin::dispatch(opcode, index, value, ptr, opt);
        }
    }
    void setParameter(VstInt32, float value) override { gain = value; }
    float getParameter(VstInt32) override { return gain; }

private:
    float gain = 1.0f;
    VstInt32 program = 0;
};

} // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    return (new Automator(host))->getEffect();
}
