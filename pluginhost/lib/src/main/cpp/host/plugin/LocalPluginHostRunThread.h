#pragma once

#include "base/core/ConditionVariable.h"
#include "base/core/Mutex.h"
#include "base/core/SmartPtr.h"
#include "base/core/Thread.h"

namespace plugin {

class PluginHost;

// Hosts plug-ins inside this process: makes the PluginHost on its own thread and runs the host's main
// loop there, so this thread is the host's main thread for the host's whole life (every request, idle
// tick and window of the in-process host runs on it). startHost() and the destructor are called by the
// owner's thread.
class LocalPluginHostRunThread : public base::core::Thread {
public:
    LocalPluginHostRunThread(int sampleRate, int blockSize);
    // Ends the host's loop and joins.
    ~LocalPluginHostRunThread() override;

    // Starts the thread and returns the host once it has been made.
    PluginHost* startHost();
    void run() override;

private:
    int sampleRate;
    int blockSize;
    base::core::Mutex mutex;
    base::core::ConditionVariable created;
    base::core::SmartPtr<PluginHost> host;
};

} // namespace plugin
