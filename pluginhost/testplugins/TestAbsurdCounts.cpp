// A shell whose members report counts no real plug-in has: -1000 audio inputs, and 0x7fffffff parameters.
// A host must refuse them with a message rather than size anything by them.

#include "TestPlugin.h"

namespace {

constexpr VstInt32 NEGATIVE_INPUTS_ID = 1;
constexpr VstInt32 HUGE_PARAMETERS_ID = 2;

class Shell : public TestPlugin {
public:
    explicit Shell(audioMasterCallback host) : TestPlugin(host, 0x5A744163, 0, 0, 0) {
        name = "Absurd Counts";
        category = kPlugCategShell;
    }

protected:
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override {
        if (opcode != effShellGetNextPlugin)
            return TestPlugin::dispatch(opcode, index, value, ptr, opt);
        if (next == 2)
            return 0;
        std::strcpy(static_cast<char*>(ptr), next == 0 ? "Negative Inputs" : "Huge Parameters");
        return ++next;
    }

private:
    int next = 0;
};

class Absurd : public TestPlugin {
public:
    Absurd(audioMasterCallback host, VstInt32 id)
        : TestPlugin(host, id, id == NEGATIVE_INPUTS_ID ? -1000 : 2, 2, effFlagsCanReplacing) {
        name = id == NEGATIVE_INPUTS_ID ? "Negative Inputs" : "Huge Parameters";
        if (id == HUGE_PARAMETERS_ID)
            effect.numParams = 0x7fffffff;
    }
};

} // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    const VstInt32 id = currentShellId(host);
    if (id == NEGATIVE_INPUTS_ID || id == HUGE_PARAMETERS_ID)
        return (new Absurd(host, id))->getEffect();
    return (new Shell(host))->getEffect();
}
