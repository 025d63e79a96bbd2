// The least a plug-in can do: a stereo effect whose processing returns at once, for measuring what the
// host itself costs per block.

#include "TestVst3Module.h"
#include "TestVst3SingleComponent.h"

namespace testvst3 {

class Null : public SingleComponent {
public:
    static FUnknown* create() { return static_cast<IAudioProcessor*>(new Null()); }

    tresult PLUGIN_API initialize(FUnknown* context) override {
        const tresult result = SingleComponent::initialize(context);
        if (result != kResultOk)
            return result;
        addAudioBus(audioInputs, u"In", SpeakerArr::kStereo);
        addAudioBus(audioOutputs, u"Out", SpeakerArr::kStereo);
        return kResultOk;
    }
    tresult PLUGIN_API process(ProcessData&) override { return kResultOk; }
};

const ClassEntry CLASSES[] = {
    {PClassInfo2(FUID(0x5A454C56, 0x334E554C, 0x4C000000, 0x00000001), PClassInfo::kManyInstances,
                 kVstAudioEffectClass, "Test Null", 0, "Fx", "Zelvar Tests", "1.0.0", kVstVersionString),
     &Null::create},
};

} // namespace testvst3

TEST_VST3_MODULE(testvst3::CLASSES)
