// An amplifier whose work can be seen in its output: each output channel is its input times "Gain", which
// follows the block's automation sample by sample. Controller 7 is mapped to "Gain" and pitch bend to "Bend";
// a volume note expression ranges from 0 over 0.5 (default) to 1. Every note event is echoed to the event
// output, note 1 at offset -5 and note 2 at offset 10000 to try the host's bounds. The tail is 100 samples.

#include "TestVst3SingleComponent.h"

#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"
#include "pluginterfaces/vst/ivstnoteexpression.h"

namespace testvst3 {

class Processing : public SingleComponent, public IMidiMapping, public INoteExpressionController {
public:
    static constexpr ParamID GAIN = 1;
    static constexpr ParamID BEND = 2;

    tresult setUp(FUnknown*) override {
        addAudioBus(audioInputs, u"In", SpeakerArr::kStereo);
        addAudioBus(audioOutputs, u"Out", SpeakerArr::kStereo);
        addEventBus(eventInputs, u"Notes In");
        addEventBus(eventOutputs, u"Notes Out");
        parameters.addParameter(STR16("Gain"), nullptr, 0, 0.5, ParameterInfo::kCanAutomate, GAIN);
        parameters.addParameter(STR16("Bend"), nullptr, 0, 0.5, ParameterInfo::kCanAutomate, BEND);
        return kResultOk;
    }

    tresult PLUGIN_API process(ProcessData& data) override {
        IParamValueQueue* gainPoints = findQueue(data.inputParameterChanges, GAIN);
        int32 nextPoint = 0;
        const AudioBusBuffers& in = data.inputs[0];
        const AudioBusBuffers& out = data.outputs[0];
        for (int32 i = 0; i < data.numSamples; ++i) {
            int32 offset = 0;
            ParamValue value = 0;
            while (gainPoints && gainPoints->getPoint(nextPoint, offset, value) == kResultOk && offset <= i) {
                gain = value;
                ++nextPoint;
            }
            for (int32 channel = 0; channel < out.numChannels; ++channel)
                out.channelBuffers32[channel][i] =
                    channel < in.numChannels ? static_cast<float>(in.channelBuffers32[channel][i] * gain)
                                             : 0.0f;
        }
        Event event{};
        for (int32 i = 0;
             data.outputEvents && data.inputEvents && data.inputEvents->getEvent(i, event) == kResultOk;
             ++i) {
            if (event.type == Event::kNoteOnEvent && (event.noteOn.pitch == 1 || event.noteOn.pitch == 2))
                event.sampleOffset = event.noteOn.pitch == 1 ? -5 : 10000;
            data.outputEvents->addEvent(event);
        }
        return kResultOk;
    }
    uint32 PLUGIN_API getTailSamples() override { return 100; }

    tresult PLUGIN_API getMidiControllerAssignment(int32 bus, int16, CtrlNumber controller,
                                                   ParamID& id) override {
        if (bus != 0 || (controller != 7 && controller != kPitchBend))
            return kResultFalse;
        id = controller == 7 ? GAIN : BEND;
        return kResultOk;
    }

    int32 PLUGIN_API getNoteExpressionCount(int32 bus, int16) override { return bus == 0 ? 1 : 0; }
    tresult PLUGIN_API getNoteExpressionInfo(int32, int16, int32, NoteExpressionTypeInfo& info) override {
        info = NoteExpressionTypeInfo{};
        info.typeId = kVolumeTypeID;
        info.valueDesc = {0.5, 0.0, 1.0, 0};
        return kResultOk;
    }
    tresult PLUGIN_API getNoteExpressionStringByValue(int32, int16, NoteExpressionTypeID, NoteExpressionValue,
                                                      String128) override {
        return kResultFalse;
    }
    tresult PLUGIN_API getNoteExpressionValueByString(int32, int16, NoteExpressionTypeID, const TChar*,
                                                      NoteExpressionValue&) override {
        return kResultFalse;
    }

    OBJ_METHODS(Processing, SingleComponent)
    FUNKNOWN_METHODS2(IMidiMapping, INoteExpressionController, SingleComponent)

private:
    double gain = 0.5;
};

} // namespace testvst3

TEST_VST3_MODULE(classEntry<Processing>(FUID(0x5A454C56, 0x33505243, 0x53530000, 0x00000001),
                                        "Test Processing", "Fx", "1.0.0"))
