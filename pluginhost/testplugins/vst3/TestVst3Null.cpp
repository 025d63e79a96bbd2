// The least a plug-in can do: a stereo effect whose processing returns at once, for measuring what the host
// itself costs per block.

#include "TestVst3SingleComponent.h"

namespace testvst3 {

class Null : public SingleComponent {
public:
    tresult setUp(FUnknown*) override {
        addAudioBus(audioInputs, u"In", SpeakerArr::kStereo);
        addAudioBus(audioOutputs, u"Out", SpeakerArr::kStereo);
        return kResultOk;
    }
    tresult PLUGIN_API process(ProcessData&) override { return kResultOk; }
};

} // namespace testvst3

TEST_VST3_MODULE(classEntry<Null>(FUID(0x5A454C56, 0x334E554C, 0x4C000000, 0x00000001), "Test Null", "Fx",
                                  "1.0.0"))
