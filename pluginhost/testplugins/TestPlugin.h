#pragma once

// A small base for the project's own VST 2 test modules: it owns the AEffect, routes the entry points
// to virtual functions and answers the descriptive opcodes, the capabilities and a shell's enumeration
// from plain fields.

#include "vst2/Vst2Abi.h"

#include <algorithm>
#include <cstring>
#include <span>

#define TEST_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

// The entry function of a module of one plug-in, made with the host callback and the given arguments.
#define TEST_PLUGIN_MAIN(Class, ...)                                                                         \
    TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {                                    \
        return (new Class(host __VA_OPT__(, ) __VA_ARGS__))->getEffect();                                    \
    }

struct ShellMember {
    VstInt32 id;
    const char* name; // nullptr: the shell names no member
};

class TestPlugin {
public:
    TestPlugin(audioMasterCallback host, VstInt32 uniqueId, const char* name, int inputs = 2, int outputs = 2,
               VstInt32 flags = effFlagsCanReplacing)
        : host(host), name(name) {
        std::memset(&effect, 0, sizeof effect);
        effect.magic = kEffectMagic;
        effect.dispatcher = [](AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float opt) { return of(e)->dispatch(opcode, index, value, ptr, opt); };
        effect.process =
            effect.processReplacing = [](AEffect* e, float** inputs, float** outputs, VstInt32 frames) {
                of(e)->process(inputs, outputs, frames);
            };
        effect.setParameter = [](AEffect* e, VstInt32 index, float value) {
            of(e)->setParameter(index, value);
        };
        effect.getParameter = [](AEffect* e, VstInt32 index) { return of(e)->getParameter(index); };
        effect.numInputs = inputs;
        effect.numOutputs = outputs;
        effect.flags = flags;
        effect.uniqueID = uniqueId;
        effect.version = 1;
        effect.object = this;
    }
    virtual ~TestPlugin() = default;

    static AEffect* makeShell(audioMasterCallback host, VstInt32 uniqueId, const char* name,
                              std::span<const ShellMember> members = {}) {
        auto* shell = new TestPlugin(host, uniqueId, name, 0, 0, 0);
        shell->category = kPlugCategShell;
        shell->members = members;
        return shell->getEffect();
    }

    AEffect* getEffect() { return &effect; }

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
        case effCanDo:
            return canDo(static_cast<const char*>(ptr));
        case effShellGetNextPlugin:
            if (nextMember == members.size())
                return 0;
            if (members[nextMember].name)
                std::strcpy(static_cast<char*>(ptr), members[nextMember].name);
            return members[nextMember++].id;
        default:
            return 0;
        }
    }
    virtual VstIntPtr canDo(const char* capability) {
        return std::any_of(capabilities.begin(), capabilities.end(),
                           [&](const char* known) { return std::strcmp(capability, known) == 0; });
    }
    virtual void setParameter(VstInt32 index, float value) {}
    virtual float getParameter(VstInt32 index) { return 0.0f; }
    virtual void process(float** inputs, float** outputs, VstInt32 frames) {
        for (int channel = 0; channel < effect.numOutputs; ++channel)
            std::memset(outputs[channel], 0, sizeof(float) * frames);
    }

    // VstEvents declares room for two events; hosts read as many as numEvents says.
    void sendEvents(VstEvent* const* events, int count) {
        struct {
            VstInt32 numEvents;
            VstIntPtr reserved;
            VstEvent* events[512];
        } list{count, 0, {}};
        std::copy_n(events, count, list.events);
        host(&effect, audioMasterProcessEvents, 0, 0, &list, 0.0f);
    }

    AEffect effect;
    audioMasterCallback host;
    const char* name;
    const char* vendor = "Zelvar Test";
    VstInt32 vendorVersion = 1000;
    VstInt32 category = kPlugCategEffect;
    std::span<const char* const> capabilities; // answered 1, anything else 0
    std::span<const ShellMember> members;

private:
    static TestPlugin* of(AEffect* effect) { return static_cast<TestPlugin*>(effect->object); }

    size_t nextMember = 0;
};

inline VstMidiEvent midiEvent(VstInt32 deltaFrames, int status, int data1, int data2) {
    VstMidiEvent event{kVstMidiType, sizeof(VstMidiEvent), deltaFrames, 0, 0, 0, {}, 0, 0, 0, 0};
    event.midiData[0] = char(status);
    event.midiData[1] = char(data1);
    event.midiData[2] = char(data2);
    return event;
}

// The id a shell is asked to create, 0 for the shell itself.
inline VstInt32 currentShellId(audioMasterCallback host) {
    return static_cast<VstInt32>(host(nullptr, audioMasterCurrentId, 0, 0, nullptr, 0.0f));
}
