// A sampler: one event input, a stereo main output and a mono auxiliary output, and note expressions for
// volume and tuning.

#include "TestVst3SingleComponent.h"

#include "pluginterfaces/vst/ivstnoteexpression.h"

namespace testvst3 {

class Instrument : public SingleComponent, public INoteExpressionController {
public:
    tresult setUp(FUnknown*) override {
        addEventBus(eventInputs, u"Notes");
        addAudioBus(audioOutputs, u"Main Out", SpeakerArr::kStereo);
        addAudioBus(audioOutputs, u"Aux Out", SpeakerArr::kMono, kAux);
        parameters.addParameter(STR16("Attack"), STR16("ms"), 0, 0.1, ParameterInfo::kCanAutomate, 1);
        return kResultOk;
    }

    int32 PLUGIN_API getNoteExpressionCount(int32 bus, int16 channel) override { return bus == 0 ? 2 : 0; }
    tresult PLUGIN_API getNoteExpressionInfo(int32 bus, int16 channel, int32 index,
                                             NoteExpressionTypeInfo& info) override {
        if (bus != 0 || index < 0 || index > 1)
            return kInvalidArgument;
        info = NoteExpressionTypeInfo{};
        info.typeId = index == 0 ? kVolumeTypeID : kTuningTypeID;
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

    OBJ_METHODS(Instrument, SingleComponent)
    FUNKNOWN_METHODS(INoteExpressionController, SingleComponent)
};

} // namespace testvst3

TEST_VST3_MODULE(classEntry<Instrument>(FUID(0x5A454C56, 0x33494E53, 0x54520000, 0x00000001),
                                        "Test Instrument", "Instrument|Synth|Sampler", "0.9.0"))
