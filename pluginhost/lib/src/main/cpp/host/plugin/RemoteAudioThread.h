#pragma once

#include "base/core/InputStream.h"
#include "base/core/Mutex.h"
#include "base/core/NamedPipe.h"
#include "base/core/OutputStream.h"
#include "base/core/SmartPtr.h"
#include "base/core/Thread.h"

#include <atomic>

namespace plugin {

class PluginHost;

// Serves one client audio thread over its "worker" pipe: start, stop and process commands for any
// instance, each process answered with a 4-byte result. Real-time class 1.
class RemoteAudioThread : public base::core::Thread {
public:
    RemoteAudioThread(PluginHost* host, int hostId, int index);
    ~RemoteAudioThread() override;

    void run() override;
    // Sets the stop flag and wakes the thread whether it is connected or still waiting for the client;
    // then joins it.
    void stopAndJoin();

private:
    void serve();
    void closeStreams();
    // Opens the worker FIFOs' other ends, so that a thread still waiting in its connecting opens gets
    // through them and sees the stop flag.
    void openPeerEnds(int (&peerEnds)[2]);

    PluginHost* host;
    int hostId;
    int index;
    base::core::Mutex connectionMutex;
    base::core::SmartPtr<base::core::NamedPipe> pipe;
    base::core::SmartPtr<base::core::InputStream> input;
    base::core::SmartPtr<base::core::OutputStream> output;
    std::atomic<bool> stop{false};
    std::atomic<bool> finished{false};
};

} // namespace plugin
