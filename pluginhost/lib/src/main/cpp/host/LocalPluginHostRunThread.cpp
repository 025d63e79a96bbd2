#include "plugin/LocalPluginHostRunThread.h"

#include "base/core/LockGuard.h"
#include "linux/MainLoop.h"
#include "plugin/PluginHost.h"

namespace plugin {

using base::core::LockGuard;
using base::core::SmartPtr;

LocalPluginHostRunThread::LocalPluginHostRunThread(int sampleRate, int blockSize)
    : Thread("Test host main run thread", 4), sampleRate(sampleRate), blockSize(blockSize) {}

LocalPluginHostRunThread::~LocalPluginHostRunThread() {
    if (PluginHost* made = host.get())
        made->shutdown();
    join();
}

PluginHost* LocalPluginHostRunThread::startHost() {
    start();
    LockGuard guard(mutex);
    while (!host)
        created.wait(mutex);
    return host.get();
}

void LocalPluginHostRunThread::run() {
    // The host's main thread is the one that makes it and runs its loop.
    SmartPtr<PluginHost> made(new PluginHost(sampleRate, blockSize));
    {
        LockGuard guard(mutex);
        host = made;
        created.broadcast();
    }
    made->getMainLoop().run();
}

} // namespace plugin
