// An effect whose controller is a class of its own. The halves talk through the host's connection points: the
// controller's greeting message sets the component's latency to 42, and the component's state (the number 7)
// reaches the controller's "State" parameter. The controller has a program list on its root unit and the
// list's program-change parameter; selecting a program makes it ask the host to re-read its parameters. The
// processor writes the last program-change value it was given as its output, so the host's hand-over of a
// program to the audio thread can be seen. The controller also asks the host's run loop for a timer and a
// descriptor watch as soon as it is initialized, before any editor exists: each tick edits "Ticks" (begin,
// perform, end) and writes a byte into its pipe; each byte read edits "Reads".

#include "TestVst3Processor.h"

#include "base/source/fstreamer.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "public.sdk/source/vst/vsteditcontroller.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace testvst3 {

const FUID CONTROLLER_ID(0x5A454C56, 0x33545743, 0x4C530000, 0x00000002);
constexpr ProgramListID PROGRAM_LIST = 1;
constexpr ParamID PROGRAM_PARAMETER = 100;
constexpr ParamID TICKS = 1;
constexpr ParamID READS = 2;
constexpr ParamID STATE = 3;

class TwoClassComponent : public Processor {
public:
    tresult setUp(FUnknown*) override {
        setControllerClass(CONTROLLER_ID);
        addAudioBus(audioInputs, u"In", SpeakerArr::kStereo);
        addAudioBus(audioOutputs, u"Out", SpeakerArr::kStereo);
        return kResultOk;
    }
    tresult PLUGIN_API getState(IBStream* state) override {
        IBStreamer streamer(state, kLittleEndian);
        return streamer.writeInt32(7) ? kResultOk : kResultFalse;
    }
    tresult PLUGIN_API setState(IBStream*) override { return kResultOk; }
    tresult PLUGIN_API notify(IMessage* message) override {
        int64 value = 0;
        if (message && std::strcmp(message->getMessageID(), "greeting") == 0 &&
            message->getAttributes()->getInt("latency", value) == kResultOk)
            latency = static_cast<uint32>(value);
        return kResultOk;
    }
    tresult PLUGIN_API process(ProcessData& data) override {
        int32 offset = 0;
        ParamValue value = 0;
        IParamValueQueue* queue = findQueue(data.inputParameterChanges, PROGRAM_PARAMETER);
        if (queue && queue->getPoint(queue->getPointCount() - 1, offset, value) == kResultOk)
            program = value;
        for (int32 channel = 0; data.numOutputs > 0 && channel < data.outputs[0].numChannels; ++channel)
            std::fill_n(data.outputs[0].channelBuffers32[channel], data.numSamples,
                        static_cast<float>(program));
        return kResultOk;
    }

private:
    ParamValue program = 0;
};

class TwoClassController : public EditControllerEx1,
                           public Linux::ITimerHandler,
                           public Linux::IEventHandler {
public:
    tresult PLUGIN_API initialize(FUnknown* context) override {
        const tresult result = EditControllerEx1::initialize(context);
        if (result != kResultOk)
            return result;
        parameters.addParameter(STR16("Ticks"), nullptr, 0, 0.0, ParameterInfo::kCanAutomate, TICKS);
        parameters.addParameter(STR16("Reads"), nullptr, 0, 0.0, ParameterInfo::kCanAutomate, READS);
        addUnit(new Unit(STR16("Root"), kRootUnitId, kNoParentUnitId, PROGRAM_LIST));
        auto* list = new ProgramList(STR16("Programs"), PROGRAM_LIST, kRootUnitId);
        for (const TChar* name : {STR16("Init"), STR16("Bass"), STR16("Lead"), STR16("Pad")})
            list->addProgram(name);
        addProgramList(list);
        Parameter* programParameter = list->getParameter();
        programParameter->getInfo().id = PROGRAM_PARAMETER;
        parameters.addParameter(programParameter);
        parameters.addParameter(STR16("State"), nullptr, 10, 0.0, ParameterInfo::kCanAutomate, STATE);
        runLoop = FUnknownPtr<Linux::IRunLoop>(context);
        if (!runLoop || pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0 ||
            runLoop->registerEventHandler(this, pipeFds[0]) != kResultOk ||
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
        for (int fd : pipeFds)
            if (fd >= 0)
                close(fd);
        return EditControllerEx1::terminate();
    }
    tresult PLUGIN_API setComponentState(IBStream* state) override {
        int32 value = 0; // an empty chunk reads as 0
        IBStreamer(state, kLittleEndian).readInt32(value);
        return setParamNormalized(STATE, value / 10.0);
    }
    tresult PLUGIN_API setParamNormalized(ParamID id, ParamValue value) override {
        const tresult result = EditControllerEx1::setParamNormalized(id, value);
        if (id == PROGRAM_PARAMETER && componentHandler)
            componentHandler->restartComponent(kParamValuesChanged);
        return result;
    }
    tresult PLUGIN_API connect(IConnectionPoint* other) override {
        const tresult result = EditControllerEx1::connect(other);
        if (IPtr<IMessage> message = owned(allocateMessage())) {
            message->setMessageID("greeting");
            message->getAttributes()->setInt("latency", 42);
            sendMessage(message);
        }
        return result;
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

    OBJ_METHODS(TwoClassController, EditControllerEx1)
    FUNKNOWN_METHODS2(Linux::ITimerHandler, Linux::IEventHandler, EditControllerEx1)

private:
    IPtr<Linux::IRunLoop> runLoop;
    int pipeFds[2] = {-1, -1};
    int ticks = 0;
    int reads = 0;
};

} // namespace testvst3

TEST_VST3_MODULE(classEntry<TwoClassComponent>(FUID(0x5A454C56, 0x33545743, 0x4C53FF00, 0x0A000001),
                                               "Test Two Class", "Fx", "2.0.0"),
                 classEntry<TwoClassController>(CONTROLLER_ID, "Test Two Class Controller", "", "2.0.0",
                                                kVstComponentControllerClass))
