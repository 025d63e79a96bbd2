#pragma once

// Plug-in side. A processor that is its own edit controller, over the SDK's parameter container: the host
// finds IEditController on the component and must not initialize it a second time. Called by the host on its
// main thread.

#include "TestVst3Processor.h"

#include "public.sdk/source/vst/vstparameters.h"

namespace testvst3 {

class SingleComponent : public Processor, public IEditController {
public:
    SingleComponent() { parameters.init(); }

    tresult PLUGIN_API initialize(FUnknown* context) override {
        ++initializeCount;
        return Processor::initialize(context);
    }
    tresult PLUGIN_API terminate() override {
        componentHandler = nullptr;
        return Processor::terminate();
    }
    // One state for both faces.
    tresult PLUGIN_API setState(IBStream*) override { return kResultOk; }
    tresult PLUGIN_API getState(IBStream*) override { return kResultOk; }

    tresult PLUGIN_API setComponentState(IBStream*) override { return kResultOk; }
    int32 PLUGIN_API getParameterCount() override { return parameters.getParameterCount(); }
    tresult PLUGIN_API getParameterInfo(int32 index, ParameterInfo& info) override {
        info = parameters.getParameterByIndex(index)->getInfo();
        return kResultOk;
    }
    // No texts; plain values are the normalized ones, as no plug-in of this kind has a program list.
    tresult PLUGIN_API getParamStringByValue(ParamID, ParamValue, String128) override {
        return kNotImplemented;
    }
    tresult PLUGIN_API getParamValueByString(ParamID, TChar*, ParamValue&) override {
        return kNotImplemented;
    }
    ParamValue PLUGIN_API normalizedParamToPlain(ParamID, ParamValue value) override { return value; }
    ParamValue PLUGIN_API plainParamToNormalized(ParamID, ParamValue value) override { return value; }
    ParamValue PLUGIN_API getParamNormalized(ParamID id) override {
        Parameter* parameter = parameters.getParameter(id);
        return parameter ? parameter->getNormalized() : 0.0;
    }
    tresult PLUGIN_API setParamNormalized(ParamID id, ParamValue value) override {
        Parameter* parameter = parameters.getParameter(id);
        return parameter && parameter->setNormalized(value) ? kResultOk : kResultFalse;
    }
    tresult PLUGIN_API setComponentHandler(IComponentHandler* handler) override {
        componentHandler = handler;
        return kResultOk;
    }
    IPlugView* PLUGIN_API createView(FIDString) override { return nullptr; }

    OBJ_METHODS(SingleComponent, Processor)
    FUNKNOWN_METHODS(IEditController, Processor)

protected:
    ParameterContainer parameters;
    IPtr<IComponentHandler> componentHandler;
    int initializeCount = 0;
};

} // namespace testvst3
