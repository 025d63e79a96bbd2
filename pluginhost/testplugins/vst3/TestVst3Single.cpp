// A delay whose component is also its edit controller. Its main input asks for 5.1 (the host sets it to
// stereo), its side-chain input for mono; the "Initialize calls" parameter shows how often the host
// initialized it.

#include "TestVst3SingleComponent.h"

namespace testvst3 {

class Single : public SingleComponent {
public:
    tresult setUp(FUnknown*) override {
        addAudioBus(audioInputs, u"Main In", SpeakerArr::k51);
        addAudioBus(audioInputs, u"Side Chain", SpeakerArr::kMono, kAux);
        addAudioBus(audioOutputs, u"Main Out", SpeakerArr::kStereo);
        if (parameters.getParameterCount() == 0) {
            parameters.addParameter(STR16("Time"), STR16("ms"), 0, 0.5, ParameterInfo::kCanAutomate, 10,
                                    kRootUnitId, STR16("Tm"));
            parameters.addParameter(STR16("Bypass"), nullptr, 1, 0.0, ParameterInfo::kCanAutomate, 11);
            parameters.addParameter(STR16("Initialize calls"), nullptr, 10, 0.0, ParameterInfo::kIsReadOnly,
                                    12);
        }
        parameters.getParameter(12)->setNormalized(initializeCount / 10.0);
        return kResultOk;
    }
};

} // namespace testvst3

TEST_VST3_MODULE(classEntry<Single>(FUID(0x5A454C56, 0x33534E47, 0x4C450000, 0x00000001), "Test Single",
                                    "Fx|Delay", "1.2.3"))
