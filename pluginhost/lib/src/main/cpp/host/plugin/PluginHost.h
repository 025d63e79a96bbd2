// Host side. Threads of a host process and what each may call:
//
// - Main thread (runs MainLoop): the idle tick (every instance's idle()), every request's work and the
//   sending of every notification (PluginHostMainThreadRunner), every write to the control pipes
//   "main" and "async-replies", instance creation and destruction, presets, programs, parameter
//   queries and all window code. Only this thread may call PluginHost and
//   PluginInstance, except where named below; other threads hand work to it with execOnMainThread.
// - Request handler thread ("RemotePluginHostProxyHandler"): reads and decodes requests from "main"
//   and posts each with execOnMainThread, without waiting. It runs nothing itself.
// - Audio threads ("RemoteAudioThread", one per client audio thread, real-time): each serves its own
//   "worker" pipe pair and calls only getPluginInstance and the instance's audio context:
//   startProcessing, processAudio, stopProcessing, which run PluginInstance::startProcess, process and
//   stopProcess and the plug-in's own processing. These are audio-thread entry points: they allocate
//   nothing, and the only locks on the way are held for one map lookup (getPluginInstance) or one pop
//   from a pool. So are the host callbacks a plug-in makes while processing:
//   pluginChangedNormalizedValue and pluginBegin/EndEditParameter take ready-made notifications from
//   the PluginHostNotificationPool and post them to the main thread.
// - Plug-in threads: a plug-in may call its host callback from threads of its own; whatever that
//   changes reaches the client as a notification posted to the main thread.
// - Parent watch: MainLoop's watch on the client process calls shutdown() when the client ends.
//
// The client side (pluginhost-client) is separate: the caller's thread sends requests (one thread at
// a time), the proxy's async reply thread calls PluginHostAsyncReplyHandler and
// PluginHostNotificationListener, and each client audio thread drives processing through the
// PluginAudioContext of a created instance over its own worker pipe.
#pragma once

#include "base/core/Mutex.h"
#include "base/core/Object.h"
#include "base/core/SmartPtr.h"
#include "base/core/String.h"
#include "base/core/Thread.h"

#include <functional>
#include <memory>
#include <pthread.h>
#include <unordered_map>
#include <vector>

namespace plugin {

class MainLoop;
class Plugin;
class PluginHost;
class PluginHostAction;
class PluginHostNotificationPool;
class PluginHostProxyHandler;
class PluginInstance;

// Blocks until the host's main loop has ended, so that an owner can wait for the loop from a thread.
class PluginHostRunThread : public base::core::Thread {
public:
    explicit PluginHostRunThread(PluginHost* host);
    ~PluginHostRunThread() override { join(); }
    void run() override;

private:
    PluginHost* host;
};

// The root object of a host process: audio settings, module cache, instance registry and the main
// thread's loop. Exactly one per process, reachable through INSTANCE.
class PluginHost : public base::core::Object {
public:
    static constexpr double IDLE_INTERVAL_SECONDS = 0.03333;
    static PluginHost* INSTANCE;

    // Must be called on the thread that will run the main loop.
    PluginHost(int sampleRate, int blockSize);
    ~PluginHost() override;

    virtual void runOnSeparateThread();
    virtual bool isMainThread() const;
    bool beforeDestruction() override;

    // Runs at once on the main thread; from any other thread posts and returns without waiting. Posted
    // actions run one at a time in posting order.
    void execOnMainThread(const base::core::SmartPtr<PluginHostAction>& action);
    Plugin* getPlugin(const base::core::String& path);
    PluginInstance* createPluginInstance(int instanceId, const base::core::String& path,
                                         const base::core::String& deviceId, bool flag);
    // Safe from audio threads while the main thread adds or removes instances.
    PluginInstance* getPluginInstance(unsigned int instanceId) const;
    void destroyPluginInstance(PluginInstance* instance);
    // The live instances, referenced; for main-thread walks (idle, show and hide all windows).
    std::vector<base::core::SmartPtr<PluginInstance>> getPluginInstances() const;
    // Stops the idle tick and ends the main loop. Safe twice and from any thread.
    void shutdown();

    int getSampleRate() const { return sampleRate; }
    int getBlockSize() const { return blockSize; }
    PluginHostProxyHandler* getProxyHandler() const { return proxyHandler; }
    void setProxyHandler(PluginHostProxyHandler* handler) { proxyHandler = handler; }
    MainLoop& getMainLoop() { return *mainLoop; }
    PluginHostNotificationPool& getNotificationPool() { return *notificationPool; }

private:
    void idle();

    base::core::SmartPtr<PluginHostRunThread> runThread;
    PluginHostProxyHandler* proxyHandler = nullptr;
    std::vector<base::core::SmartPtr<Plugin>> loadedPlugins;
    std::unordered_map<int, base::core::SmartPtr<PluginInstance>> instances;
    // Held only for single map operations, so an audio thread's lookup never waits for long.
    mutable base::core::Mutex instancesMutex;
    int sampleRate;
    int blockSize;
    pthread_t mainThread;
    // Before the loop, so that notifications still queued there can return to it.
    std::unique_ptr<PluginHostNotificationPool> notificationPool;
    std::unique_ptr<MainLoop> mainLoop;
};

} // namespace plugin
