#pragma once

#include "base/core/SmartPtr.h"
#include "base/core/String.h"
#include "client/RemotePluginHostLauncher.h"
#include "client/RemotePluginHostProxy.h"
#include "plugin/PluginAudioContext.h"

namespace plugin::benchmarks {

// A `plugin-host host` process with one started instance of a VST 2 module, driven as a client does: the
// thread that processes stands for the client's audio thread 0.
class RemoteHostInstance {
public:
    // Starts the host with one audio thread, creates the instance and starts its processing; a host or an
    // instance that fails throws the exception that tells why.
    RemoteHostInstance(const base::core::String& executable, const base::core::String& modulePath,
                       int sampleRate, int blockSize);
    RemoteHostInstance(const RemoteHostInstance&) = delete;
    RemoteHostInstance& operator=(const RemoteHostInstance&) = delete;
    // Stops processing, destroys the instance, shuts the host down and waits for its process to end.
    ~RemoteHostInstance();

    // One block: the process command over the worker pipe, the host's call into the plug-in, the answer.
    int processBlock(unsigned int frames) { return context->processAudio(frames, true, false); }

private:
    base::core::SmartPtr<RemotePluginHostLauncher> launcher;
    base::core::SmartPtr<RemotePluginHostProxy> proxy;
    base::core::SmartPtr<PluginAudioContext> context;
    int instanceId = 0;
};

} // namespace plugin::benchmarks
