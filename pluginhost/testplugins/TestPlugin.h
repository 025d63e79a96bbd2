#pragma once

// A small base for the project's own VST 2 test modules: it owns the AEffect, routes the entry points
// to virtual functions and answers the descriptive opcodes from plain fields.

#include "vst2/Vst2Abi.h"

#include <cstring>

#define TEST_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

class TestPlugin {
public:
    TestPlugin(audioMasterCallback host, VstInt32 uniqueId, int inputs, int outputs, VstInt32 flags)
        : host(host) {
        std::memset(&effect, 0, sizeof effect);
        effect.magic = kEffectMagic;
        effect.dispatcher = &dispatchEntry;
        effect.process = &processEntry;
        effect.setParameter = &setParameterEntry;
        effect.getParameter = &getParameterEntry;
        effect.processReplacing = &processEntry;
        effect.numInputs = inputs;
        effect.numOutputs = outputs;
        effect.flags = flags;
        effect.uniqueID = uniqueId;
        effect.version = 1;
        effect.object = this;
    }
    virtual ~TestPlugin() = default;

    AEffect* getEffect() { return &effect; }

protected:
    virtual VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
        switch (opcode) {
        case effClose:
            delete this;
            return 1;
        case effGetEffectName:
            std::strcpy(static_cast<char*>(ptr), name);
            return 1;
        case effGetVendorString:
            std::strcpy(static_cast<char*>(ptr), vendor);
            return 1;
        case effGetVendorVersion:
            return vendorVersion;
        case effGetPlugCategory:
            return category;
        case effGetVstVersion:
            return kVstVersion;
        case effCanDo:
            return canDo(static_cast<const char*>(ptr));
        default:
            return 0;
        }
    }
    virtual VstIntPtr canDo(const char* capability) { return 0; }
    virtual void setParameter(VstInt32 index, float value) {}
    virtual float getParameter(VstInt32 index) { return 0.0f; }
    virtual void process(float** inputs, float** outputs, VstInt32 frames) {
        for (int channel = 0; channel < effect.numOutputs; ++channel)
            std::memset(outputs[channel], 0, sizeof(float) * frames);
    }

    static TestPlugin* of(AEffect* effect) { return static_cast<TestPlugin*>(effect->object); }

    AEffect effect;
    audioMasterCallback host;
    const char* name = "";
    const char* vendor = "Zelvar Test";
    VstInt32 vendorVersion = 1000;
    VstInt32 category = kPlugCategEffect;

private:
    static VstIntPtr dispatchEntry(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt) {
        return of(e)->dispatch(opcode, index, value, ptr, opt);
    }
    static void processEntry(AEffect* e, float** inputs, float** outputs, VstInt32 frames) {
        of(e)->process(inputs, outputs, frames);
    }
    static void setParameterEntry(AEffect* e, VstInt32 index, float value) {
        of(e)->setParameter(index, value);
    }
    static float getParameterEntry(AEffect* e, VstInt32 index) { return of(e)->getParameter(index); }
};

// The id a shell is asked to create, 0 for the shell itself.
inline VstInt32 currentShellId(audioMasterCallback host) {
    return static_cast<VstInt32>(host(nullptr, audioMasterCurrentId, 0, 0, nullptr, 0.0f));
}
