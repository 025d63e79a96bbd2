#pragma once

// Plug-in side. A component that is also an audio processor, as the SDK's AudioEffect (absent from the Debian
// subset) would be: buses whose arrangements the host may set, and a process that does nothing. Test plug-ins
// add their buses in setUp. Called by the host on its main thread, process on an audio thread.

#include "TestVst3Module.h"

#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "public.sdk/source/vst/vstbus.h"
#include "public.sdk/source/vst/vstcomponent.h"

namespace testvst3 {

class Processor : public Component, public IAudioProcessor {
public:
    tresult PLUGIN_API initialize(FUnknown* context) override {
        const tresult result = Component::initialize(context);
        return result == kResultOk ? setUp(context) : result;
    }
    tresult PLUGIN_API setBusArrangements(SpeakerArrangement* inputs, int32 inputCount,
                                          SpeakerArrangement* outputs, int32 outputCount) override {
        for (int32 i = 0; i < inputCount; ++i)
            static_cast<AudioBus*>(audioInputs[i].get())->setArrangement(inputs[i]);
        for (int32 i = 0; i < outputCount; ++i)
            static_cast<AudioBus*>(audioOutputs[i].get())->setArrangement(outputs[i]);
        return kResultTrue;
    }
    tresult PLUGIN_API getBusArrangement(BusDirection direction, int32 index,
                                         SpeakerArrangement& arrangement) override {
        BusList& list = direction == kInput ? audioInputs : audioOutputs;
        arrangement = static_cast<AudioBus*>(list[index].get())->getArrangement();
        return kResultOk;
    }
    tresult PLUGIN_API canProcessSampleSize(int32) override { return kResultTrue; }
    uint32 PLUGIN_API getLatencySamples() override { return latency; }
    tresult PLUGIN_API setupProcessing(ProcessSetup& setup) override { return kResultOk; }
    tresult PLUGIN_API setProcessing(TBool state) override { return kResultOk; }
    tresult PLUGIN_API process(ProcessData&) override { return kResultOk; }
    uint32 PLUGIN_API getTailSamples() override { return 0; }

    OBJ_METHODS(Processor, Component)
    FUNKNOWN_METHODS(IAudioProcessor, Component)

protected:
    // Adds the plug-in's buses and parameters once the component is initialized.
    virtual tresult setUp(FUnknown* context) = 0;

    void addAudioBus(BusList& list, const char16_t* name, SpeakerArrangement arrangement,
                     BusType type = kMain) {
        list.push_back(owned(
            new AudioBus(reinterpret_cast<const TChar*>(name), type, BusInfo::kDefaultActive, arrangement)));
    }
    void addEventBus(BusList& list, const char16_t* name) {
        list.push_back(
            owned(new EventBus(reinterpret_cast<const TChar*>(name), kMain, BusInfo::kDefaultActive, 16)));
    }

    static IParamValueQueue* findQueue(IParameterChanges* changes, ParamID id) {
        for (int32 i = 0, count = changes ? changes->getParameterCount() : 0; i < count; ++i) {
            IParamValueQueue* queue = changes->getParameterData(i);
            if (queue && queue->getParameterId() == id)
                return queue;
        }
        return nullptr;
    }

    uint32 latency = 0;
};

} // namespace testvst3
