#include "HostMode.h"

#include "base/core/SmartPtr.h"
#include "base/core/String.h"
#include "base/core/Thread.h"
#include "linux/MainLoop.h"
#include "plugin/HostExitWatchdog.h"
#include "plugin/PluginHost.h"
#include "plugin/RemotePluginHostProxyHandler.h"

#include <csignal>

namespace plugin {

using base::core::SmartPtr;
using base::core::String;

void runHostMode(char** argv) {
    const int sampleRate = String(argv[2]).asInt32(10);
    const int blockSize = String(argv[3]).asInt32(10);
    const int hostId = String(argv[4]).asInt32(10);
    const int audioThreadCount = String(argv[5]).asInt32(10);
    // Before any thread exists: the audio threads' real-time budget derives from it.
    base::core::THREAD_PROCESSING_PERIOD_IN_SECONDS =
        static_cast<double>(blockSize) / static_cast<double>(sampleRate);
    // A client that vanishes shows as a failed write (and as the end of its requests), never as a signal
    // that would end the host before it has closed its plug-ins and removed its shared blocks.
    signal(SIGPIPE, SIG_IGN);
    // Never released, not even by static destruction: it must be able to end the process at any point.
    static HostExitWatchdog* const exitWatchdog = new HostExitWatchdog();
    exitWatchdog->retain();
    exitWatchdog->start();
    SmartPtr<PluginHost> host(new PluginHost(sampleRate, blockSize));
    const SmartPtr<RemotePluginHostProxyHandler> handler(
        new RemotePluginHostProxyHandler(host.get(), hostId, audioThreadCount));
    handler->start();
    host->getMainLoop().run();
    // The loop ends without a Shutdown request when the parent has gone: the same orderly end.
    handler->shutdown();
}

} // namespace plugin
