// An analyzer (audio in, notes out) that asks the host's run loop for a timer and a descriptor watch as soon
// as it is initialized, before any editor exists. Each tick edits "Ticks" (begin, perform, end) and writes a
// byte into its pipe; each byte read edits "Reads".

#include "TestVst3SingleComponent.h"

#include "pluginterfaces/gui/iplugview.h"

#include <fcntl.h>
#include <unistd.h>

namespace testvst3 {

constexpr ParamID TICKS = 1;
constexpr ParamID READS = 2;

class RunLoopUser : public SingleComponent, public Linux::ITimerHandler, public Linux::IEventHandler {
public:
    tresult setUp(FUnknown* context) override {
        addAudioBus(audioInputs, u"In", SpeakerArr::kMono);
        addEventBus(eventOutputs, u"Detected Notes");
        parameters.addParameter(STR16("Ticks"), nullptr, 0, 0.0, ParameterInfo::kCanAutomate, TICKS);
        parameters.addParameter(STR16("Reads"), nullptr, 0, 0.0, ParameterInfo::kCanAutomate, READS);
        runLoop = FUnknownPtr<Linux::IRunLoop>(context);
        if (!runLoop || pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
            return kResultFalse;
        if (runLoop->registerEventHandler(this, pipeFds[0]) != kResultOk ||
            runLoop->registerTimer(this, 20) != kResultOk)
            return kResultFalse;
        return kResultOk;
    }
    tresult PLUGIN_API terminate() override {
        if (runLoop) {
            runLoop->unregisterTimer(this);
            runLoop->unregisterEventHandler(this);
            runLoop = nullptr;
        }
        for (int& fd : pipeFds) {
            if (fd >= 0)
                close(fd);
            fd = -1;
        }
        return SingleComponent::terminate();
    }

    void PLUGIN_API onTimer() override {
        ++ticks;
        if (componentHandler) {
            componentHandler->beginEdit(TICKS);
            componentHandler->performEdit(TICKS, ticks % 2 ? 0.25 : 0.75);
            componentHandler->endEdit(TICKS);
        }
        const char byte = 'x';
        if (write(pipeFds[1], &byte, 1) != 1)
            return; // a full pipe: the reader is behind, the next tick tries again
    }
    void PLUGIN_API onFDIsSet(Linux::FileDescriptor fd) override {
        char bytes[64];
        while (read(fd, bytes, sizeof(bytes)) > 0)
            ++reads;
        if (componentHandler)
            componentHandler->performEdit(READS, reads % 2 ? 0.25 : 0.75);
    }

    OBJ_METHODS(RunLoopUser, SingleComponent)
    FUNKNOWN_METHODS2(Linux::ITimerHandler, Linux::IEventHandler, SingleComponent)

private:
    IPtr<Linux::IRunLoop> runLoop;
    int pipeFds[2] = {-1, -1};
    int ticks = 0;
    int reads = 0;
};

} // namespace testvst3

TEST_VST3_MODULE(classEntry<RunLoopUser>(FUID(0x5A454C56, 0x3352554E, 0x4C500000, 0x00000001),
                                         "Test Run Loop", "Analyzer", "1.0.0"))
