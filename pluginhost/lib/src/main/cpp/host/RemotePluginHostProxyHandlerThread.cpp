#include "plugin/RemotePluginHostProxyHandlerThread.h"

#include "base/core/IOException.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "plugin/HostExitWatchdog.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginHostRequests.h"

namespace plugin {

using base::core::SmartPtr;

RemotePluginHostProxyHandlerThread::RemotePluginHostProxyHandlerThread(
    PluginHostProxyHandler* handler, PluginHost* host, const SmartPtr<base::core::InputStream>& input)
    : Thread("RemotePluginHostProxyHandler", 4), handler(handler), host(host), input(input) {}

// Joined here, while this object is whole: the base destructor would join after the members are gone.
RemotePluginHostProxyHandlerThread::~RemotePluginHostProxyHandlerThread() {
    join();
}

void RemotePluginHostProxyHandlerThread::run() {
    try {
        while (!stop.load()) {
            SmartPtr<PluginHostRequest> request = readRequest(input.get(), handler);
            // Timed from here: the main thread that is to run it may be held by a plug-in.
            if (request->getRequestType() == PluginHostRequest::SHUTDOWN)
                HostExitWatchdog::beginGracePeriod("a Shutdown request");
            // Post, never run here: every request runs on the main thread, in arrival order.
            host->execOnMainThread(request);
        }
    } catch (const base::core::IOException&) {
        // End of stream, a failed read or garbage: the client is gone or no longer understood.
    } catch (const base::core::Exception& e) {
        base::core::getError()->writeLine(base::core::StringBuilder() +
                                          "Request reader failed: " + e.getMessage());
    }
    stop.store(true);
    HostExitWatchdog::beginGracePeriod("its client's control pipe closed");
    host->execOnMainThread(SmartPtr<PluginHostRequest>(new ShutdownRequest(handler)));
}

void RemotePluginHostProxyHandlerThread::stopAndJoin() {
    stop.store(true);
    try {
        input->close();
    } catch (const base::core::IOException&) {
        // Already closed by a failing reader; nothing left to wake.
    }
    join();
}

} // namespace plugin
