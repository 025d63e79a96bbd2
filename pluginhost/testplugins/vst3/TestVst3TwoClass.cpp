// An effect whose controller is a class of its own. The halves talk through the host's connection points: the
// controller's greeting message sets the component's latency to 42, and the component's state (the number 7)
// reaches the controller's "State" parameter.

#include "TestVst3Processor.h"

#include "base/source/fstreamer.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "public.sdk/source/vst/vsteditcontroller.h"

#include <cstring>

namespace testvst3 {

const FUID CONTROLLER_ID(0x5A454C56, 0x33545743, 0x4C530000, 0x00000002);

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
};

class TwoClassController : public EditController {
public:
    tresult PLUGIN_API initialize(FUnknown* context) override {
        const tresult result = EditController::initialize(context);
        if (result == kResultOk)
            parameters.addParameter(STR16("State"), nullptr, 10, 0.0, ParameterInfo::kCanAutomate, 1);
        return result;
    }
    tresult PLUGIN_API setComponentState(IBStream* state) override {
        IBStreamer streamer(state, kLittleEndian);
        int32 value = 0;
        if (!streamer.readInt32(value))
            return kResultFalse;
        return setParamNormalized(1, value / 10.0);
    }
    tresult PLUGIN_API connect(IConnectionPoint* other) override {
        const tresult result = EditController::connect(other);
        if (IPtr<IMessage> message = owned(allocateMessage())) {
            message->setMessageID("greeting");
            message->getAttributes()->setInt("latency", 42);
            sendMessage(message);
        }
        return result;
    }
};

} // namespace testvst3

TEST_VST3_MODULE(classEntry<TwoClassComponent>(FUID(0x5A454C56, 0x33545743, 0x4C530000, 0x00000001),
                                               "Test Two Class", "Fx", "2.0.0"),
                 classEntry<TwoClassController>(CONTROLLER_ID, "Test Two Class Controller", "", "2.0.0",
                                                kVstComponentControllerClass))
