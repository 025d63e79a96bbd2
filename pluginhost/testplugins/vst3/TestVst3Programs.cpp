// An equalizer with a program list on its root unit and the list's program-change parameter. Selecting a
// program makes it ask the host to re-read its parameters, so the client sees that the change arrived. Its
// processor writes the last program-change value it was given as its output, so the host's hand-over of a
// program to the audio thread can be seen.

#include "TestVst3Processor.h"

#include "public.sdk/source/vst/vsteditcontroller.h"

namespace testvst3 {

const FUID CONTROLLER_ID(0x5A454C56, 0x33505247, 0x4D530000, 0x00000002);
constexpr ProgramListID PROGRAM_LIST = 1;
constexpr ParamID PROGRAM_PARAMETER = 100;

class ProgramsComponent : public Processor {
public:
    tresult setUp(FUnknown*) override {
        setControllerClass(CONTROLLER_ID);
        addAudioBus(audioInputs, u"In", SpeakerArr::kMono);
        addAudioBus(audioOutputs, u"Out", SpeakerArr::kMono);
        return kResultOk;
    }
    tresult PLUGIN_API process(ProcessData& data) override {
        int32 offset = 0;
        ParamValue value = 0;
        IParamValueQueue* queue = findQueue(data.inputParameterChanges, PROGRAM_PARAMETER);
        if (queue && queue->getPoint(queue->getPointCount() - 1, offset, value) == kResultOk)
            program = value;
        for (int32 bus = 0; bus < data.numOutputs; ++bus)
            for (int32 channel = 0; channel < data.outputs[bus].numChannels; ++channel)
                for (int32 i = 0; i < data.numSamples; ++i)
                    data.outputs[bus].channelBuffers32[channel][i] = static_cast<float>(program);
        return kResultOk;
    }

private:
    ParamValue program = 0;
};

class ProgramsController : public EditControllerEx1 {
public:
    tresult PLUGIN_API initialize(FUnknown* context) override {
        const tresult result = EditControllerEx1::initialize(context);
        if (result != kResultOk)
            return result;
        addUnit(new Unit(STR16("Root"), kRootUnitId, kNoParentUnitId, PROGRAM_LIST));
        auto* list = new ProgramList(STR16("Programs"), PROGRAM_LIST, kRootUnitId);
        for (const TChar* name : {STR16("Init"), STR16("Bass"), STR16("Lead"), STR16("Pad")})
            list->addProgram(name);
        addProgramList(list);
        Parameter* programParameter = list->getParameter();
        programParameter->getInfo().id = PROGRAM_PARAMETER;
        parameters.addParameter(programParameter);
        parameters.addParameter(STR16("Gain"), STR16("dB"), 0, 0.5, ParameterInfo::kCanAutomate, 1);
        return kResultOk;
    }
    tresult PLUGIN_API setParamNormalized(ParamID id, ParamValue value) override {
        const tresult result = EditControllerEx1::setParamNormalized(id, value);
        if (id == PROGRAM_PARAMETER && componentHandler)
            componentHandler->restartComponent(kParamValuesChanged);
        return result;
    }
};

} // namespace testvst3

TEST_VST3_MODULE(classEntry<ProgramsComponent>(FUID(0x5A454C56, 0x33505247, 0x4D530000, 0x00000001),
                                               "Test Programs", "Fx|EQ", "1.0.0"),
                 classEntry<ProgramsController>(CONTROLLER_ID, "Test Programs Controller", "", "1.0.0",
                                                kVstComponentControllerClass))
