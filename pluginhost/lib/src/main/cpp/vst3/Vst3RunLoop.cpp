#include "vst3/Vst3RunLoop.h"

#include "vst3/Vst3QueryInterface.h"

#include "base/core/Exception.h"
#include "base/core/OutputStream.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "linux/MainLoop.h"
#include "plugin/PluginHost.h"

#include <memory>

namespace plugin {

using namespace Steinberg;

Vst3RunLoop::Vst3RunLoop(PluginHost& host) : host(host), mainLoop(host.getMainLoop()) {}

bool Vst3RunLoop::onMainThread(const char* operation) const {
    if (host.isMainThread())
        return true;
    base::core::getError()->writeLine(base::core::StringBuilder() + "A VST 3 plug-in called IRunLoop::" +
                                      operation + " off the main thread; refused");
    base::core::getError()->flush();
    return false;
}

Vst3RunLoop::~Vst3RunLoop() {
    for (const auto& entry : eventHandlers)
        mainLoop.removeFileDescriptor(entry.first);
    for (const auto& entry : timerHandlers)
        mainLoop.removeTimer(entry.first);
}

tresult PLUGIN_API Vst3RunLoop::registerEventHandler(Linux::IEventHandler* handler,
                                                     Linux::FileDescriptor fd) {
    if (!onMainThread("registerEventHandler"))
        return kResultFalse;
    if (!handler || fd < 0 || eventHandlers.count(fd))
        return kInvalidArgument;
    eventHandlers[fd] = handler;
    // The handler is looked up at each call: it may have unregistered itself in the meantime.
    mainLoop.addFileDescriptor(fd, [this, fd] {
        auto found = eventHandlers.find(fd);
        if (found == eventHandlers.end())
            return;
        IPtr<Linux::IEventHandler> keep = found->second;
        keep->onFDIsSet(fd);
    });
    return kResultOk;
}

tresult PLUGIN_API Vst3RunLoop::unregisterEventHandler(Linux::IEventHandler* handler) {
    if (!onMainThread("unregisterEventHandler"))
        return kResultFalse;
    if (!handler)
        return kInvalidArgument;
    bool found = false;
    for (auto entry = eventHandlers.begin(); entry != eventHandlers.end();) {
        if (entry->second == handler) {
            mainLoop.removeFileDescriptor(entry->first);
            entry = eventHandlers.erase(entry);
            found = true;
        } else {
            ++entry;
        }
    }
    return found ? kResultOk : kResultFalse;
}

tresult PLUGIN_API Vst3RunLoop::registerTimer(Linux::ITimerHandler* handler,
                                              Linux::TimerInterval milliseconds) {
    if (!onMainThread("registerTimer"))
        return kResultFalse;
    if (!handler || milliseconds == 0)
        return kInvalidArgument;
    // The callback learns its timer's id once the loop has chosen it; it cannot run before that.
    auto id = std::make_shared<int>(-1);
    try {
        *id = mainLoop.addTimer(static_cast<double>(milliseconds) / 1000.0, [this, id] {
            auto found = timerHandlers.find(*id);
            if (found == timerHandlers.end())
                return;
            IPtr<Linux::ITimerHandler> keep = found->second; // it may unregister itself
            keep->onTimer();
        });
    } catch (const base::core::Exception& e) {
        base::core::getError()->writeLine(base::core::StringBuilder() +
                                          "Could not register a VST 3 plug-in timer: " + e.getMessage());
        base::core::getError()->flush();
        return kResultFalse;
    }
    timerHandlers[*id] = handler;
    return kResultOk;
}

tresult PLUGIN_API Vst3RunLoop::unregisterTimer(Linux::ITimerHandler* handler) {
    if (!onMainThread("unregisterTimer"))
        return kResultFalse;
    if (!handler)
        return kInvalidArgument;
    bool found = false;
    for (auto entry = timerHandlers.begin(); entry != timerHandlers.end();) {
        if (entry->second == handler) {
            mainLoop.removeTimer(entry->first);
            entry = timerHandlers.erase(entry);
            found = true;
        } else {
            ++entry;
        }
    }
    return found ? kResultOk : kResultFalse;
}

tresult PLUGIN_API Vst3RunLoop::queryInterface(const TUID iid, void** object) {
    return queryOneInterface<Linux::IRunLoop>(this, iid, object);
}

} // namespace plugin
