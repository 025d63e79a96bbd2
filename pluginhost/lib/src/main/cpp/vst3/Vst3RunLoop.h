#pragma once

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/gui/iplugview.h"

#include <atomic>
#include <map>

namespace plugin {

class MainLoop;
class PluginHost;

// Host side. Steinberg::Linux::IRunLoop over the host's main loop: a plug-in's descriptor handlers run when
// their descriptor is readable, its timer handlers at their interval, both on the main thread. It is
// offered to a plug-in from the moment it is initialized (through the host context) as well as through
// its editor's frame, so timers work while no editor is open. Registrations a plug-in leaves behind end
// with the run loop. Main thread only, like the loop it serves: calls from another thread are refused.
class Vst3RunLoop : public Steinberg::Linux::IRunLoop {
public:
    explicit Vst3RunLoop(PluginHost& host);
    Vst3RunLoop(const Vst3RunLoop&) = delete;
    Vst3RunLoop& operator=(const Vst3RunLoop&) = delete;
    ~Vst3RunLoop();

    Steinberg::tresult PLUGIN_API registerEventHandler(Steinberg::Linux::IEventHandler* handler,
                                                       Steinberg::Linux::FileDescriptor fd) override;
    Steinberg::tresult PLUGIN_API unregisterEventHandler(Steinberg::Linux::IEventHandler* handler) override;
    Steinberg::tresult PLUGIN_API registerTimer(Steinberg::Linux::ITimerHandler* handler,
                                                Steinberg::Linux::TimerInterval milliseconds) override;
    Steinberg::tresult PLUGIN_API unregisterTimer(Steinberg::Linux::ITimerHandler* handler) override;

    // The run loop lives as long as its owner; plug-ins' references only count.
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** object) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return ++referenceCount; }
    Steinberg::uint32 PLUGIN_API release() override { return --referenceCount; }

private:
    // False, with a line on the error stream, when called off the main thread.
    bool onMainThread(const char* operation) const;

    PluginHost& host;
    MainLoop& mainLoop;
    std::atomic<Steinberg::uint32> referenceCount{1};
    // Descriptor -> its handler; timer id -> its handler. A handler may hold several of either.
    std::map<int, Steinberg::IPtr<Steinberg::Linux::IEventHandler>> eventHandlers;
    std::map<int, Steinberg::IPtr<Steinberg::Linux::ITimerHandler>> timerHandlers;
};

} // namespace plugin
