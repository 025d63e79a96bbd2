#include "HostMode.h"

#include "base/core/SmartPtr.h"
#include "base/core/String.h"
#include "base/core/Thread.h"
#include "linux/MainLoop.h"
#include "plugin/HostExitWatchdog.h"
#include "plugin/PluginHost.h"
#include "plugin/RemotePluginHostProxyHandler.h"

namespace plugin {

using base::core::SmartPtr;
using base::core::String;

int runHostMode(char** argv) {
    const int sampleRate = String(argv[2]).asInt32(10);
    const int blockSize = String(argv[3]).asInt32(10);
    const int hostId = String(argv[4]).asInt32(10);
    const int audioThreadCount = String(argv[5]).asInt32(10);
    // Before any thread exists: the audio threads' real-time budget derives from it.
    base::core::THREAD_PROCESSING_PERIOD_IN_SECONDS =
        static_cast<double>(blockSize) / static_cast<double>(sampleRate);
    // Never released, not even by static destruction: it must be able to end the process at any point.
    static HostExitWatchdog* const exitWatchdog = new HostExitWatchdog();
    exitWatchdog->retain();
    exitWatchdog->start();
    SmartPtr<PluginHost> host(new PluginHost(sampleRate, blockSize));
    // Never released: the handler ends the process itself when it shuts down.
    auto* handler = new RemotePluginHostProxyHandler(host.get(), hostId, audioThreadCount);
    handler->retain();
    host->getMainLoop().run();
    return 0;
}

} // namespace plugin
