// A shell of four plug-ins that each hang for good at one stage: in effOpen, in processing, in a program
// or preset load (effSetProgram, effBeginLoadProgram, effSetChunk) and in effClose. The device id selects
// the stage: 1 open, 2 process, 3 preset, 4 close.

#include "TestPlugin.h"

#include <unistd.h>

namespace {

enum Stage : VstInt32 { OPEN = 1, PROCESS = 2, PRESET = 3, CLOSE = 4 };

[[noreturn]] void hang() {
    for (;;)
        pause();
}

class Shell : public TestPlugin {
public:
    explicit Shell(audioMasterCallback host) : TestPlugin(host, 0x5A744867, 0, 0, 0) {
        name = "Test Hang Shell";
        category = kPlugCategShell;
    }

protected:
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override {
        if (opcode != effShellGetNextPlugin)
            return TestPlugin::dispatch(opcode, index, value, ptr, opt);
        if (next > CLOSE)
            return 0;
        static const char* const names[] = {"", "Hang In Open", "Hang In Process", "Hang In Preset",
                                            "Hang In Close"};
        std::strcpy(static_cast<char*>(ptr), names[next]);
        return next++;
    }

private:
    VstInt32 next = OPEN;
};

class Hanger : public TestPlugin {
public:
    Hanger(audioMasterCallback host, VstInt32 stage)
        : TestPlugin(host, stage, 2, 2, effFlagsCanReplacing | effFlagsProgramChunks), stage(stage) {
        name = "Hanger";
        effect.numPrograms = 2;
    }

protected:
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override {
        switch (opcode) {
        case effOpen:
            if (stage == OPEN)
                hang();
            break;
        case effSetProgram:
        case effBeginLoadProgram:
        case effBeginLoadBank:
        case effSetChunk:
            if (stage == PRESET)
                hang();
            break;
        case effClose:
            if (stage == CLOSE)
                hang();
            break;
        default:
            break;
        }
        return TestPlugin::dispatch(opcode, index, value, ptr, opt);
    }
    void process(float** inputs, float** outputs, VstInt32 frames) override {
        if (stage == PROCESS)
            hang();
        TestPlugin::process(inputs, outputs, frames);
    }

private:
    VstInt32 stage;
};

} // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    const VstInt32 id = currentShellId(host);
    if (id == 0)
        return (new Shell(host))->getEffect();
    return id >= OPEN && id <= CLOSE ? (new Hanger(host, id))->getEffect() : nullptr;
}
