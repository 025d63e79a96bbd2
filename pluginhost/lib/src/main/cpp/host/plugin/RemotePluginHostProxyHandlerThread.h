#pragma once

#include "base/core/InputStream.h"
#include "base/core/SmartPtr.h"
#include "base/core/Thread.h"

#include <atomic>

namespace plugin {

class PluginHost;
class PluginHostProxyHandler;

// Reads and decodes requests from "main" and posts each to the main thread; runs none of them. A
// broken or garbled pipe posts one Shutdown request and ends the thread.
class RemotePluginHostProxyHandlerThread : public base::core::Thread {
public:
    RemotePluginHostProxyHandlerThread(PluginHostProxyHandler* handler, PluginHost* host,
                                       const base::core::SmartPtr<base::core::InputStream>& input);
    ~RemotePluginHostProxyHandlerThread() override;

    void run() override;
    // Sets the stop flag and closes the input, which wakes a blocked read; then joins.
    void stopAndJoin();

private:
    PluginHostProxyHandler* handler;
    PluginHost* host;
    base::core::SmartPtr<base::core::InputStream> input;
    std::atomic<bool> stop{false};
};

} // namespace plugin
