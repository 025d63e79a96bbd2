#pragma once

#include "vst3/Vst3RunLoop.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivsthostapplication.h"

#include <atomic>
#include <cstdint>
#include <unordered_map>

namespace plugin {

class PluginHost;
class Vst3PluginInstance;

// Host side. What a VST 3 plug-in sees of the host, one per instance and embedded in it: the context given
// to initialize (IHostApplication "Zelvar Studio", which also makes messages and attribute lists for the
// plug-in's two halves, and the Linux run loop), and the component handler through which the controller
// reports edits. VST 3 names parameters by id, the client by index: the handler keeps the map between them.
//
// Threads: queryInterface, getName and createInstance from any thread; the edit calls on whatever thread
// the plug-in chooses, one at a time (the index map is filled inside them without a lock); the run loop on
// the main thread.
class Vst3Host : public Steinberg::Vst::IHostApplication,
                 public Steinberg::Vst::IComponentHandler,
                 public Steinberg::Vst::IComponentHandler2 {
public:
    Vst3Host(Vst3PluginInstance* instance, PluginHost& host);
    Vst3Host(const Vst3Host&) = delete;
    Vst3Host& operator=(const Vst3Host&) = delete;
    virtual ~Vst3Host() = default;

    // The object given to the plug-in's initialize calls.
    Steinberg::FUnknown* getContext() { return static_cast<Steinberg::Vst::IComponentHandler*>(this); }
    Steinberg::Linux::IRunLoop* getRunLoop() { return &runLoop; }
    // The parameter's index, or -1 when the controller does not list the id. A miss rescans every parameter.
    int32_t getIndexOfParamID(Steinberg::Vst::ParamID id);

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** object) override;
    // The host lives as long as its instance; the plug-in's references only count.
    Steinberg::uint32 PLUGIN_API addRef() override { return ++referenceCount; }
    Steinberg::uint32 PLUGIN_API release() override { return --referenceCount; }

    Steinberg::tresult PLUGIN_API getName(Steinberg::Vst::String128 name) override;
    Steinberg::tresult PLUGIN_API createInstance(Steinberg::TUID classId, Steinberg::TUID interfaceId,
                                                 void** object) override;

    Steinberg::tresult PLUGIN_API beginEdit(Steinberg::Vst::ParamID id) override;
    Steinberg::tresult PLUGIN_API performEdit(Steinberg::Vst::ParamID id,
                                              Steinberg::Vst::ParamValue valueNormalized) override;
    Steinberg::tresult PLUGIN_API endEdit(Steinberg::Vst::ParamID id) override;
    Steinberg::tresult PLUGIN_API restartComponent(Steinberg::int32 flags) override;

    Steinberg::tresult PLUGIN_API setDirty(Steinberg::TBool state) override {
        return Steinberg::kResultFalse;
    }
    Steinberg::tresult PLUGIN_API requestOpenEditor(Steinberg::FIDString name) override {
        return Steinberg::kResultFalse;
    }
    Steinberg::tresult PLUGIN_API startGroupEdit() override { return Steinberg::kResultFalse; }
    Steinberg::tresult PLUGIN_API finishGroupEdit() override { return Steinberg::kResultFalse; }

private:
    std::atomic<Steinberg::uint32> referenceCount{1};
    std::unordered_map<Steinberg::Vst::ParamID, int32_t> parameterIndices;
    Vst3PluginInstance* instance;
    Vst3RunLoop runLoop;
};

} // namespace plugin
