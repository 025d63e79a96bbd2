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
//   "worker" pipe pair, finds instances through getAudioInstances() (a lock-free table; the instance is
//   pinned for one command, so destruction waits for it) and calls only the instance's audio context:
//   startProcessing, processAudio, stopProcessing, which run PluginInstance::startProcess, process and
//   stopProcess and the plug-in's own processing. These are audio-thread entry points: they take no lock
//   and allocate nothing. So are the host callbacks a plug-in makes while processing:
//   pluginChangedNormalizedValue, pluginBegin/EndEditParameter and refreshAllParameters push small
//   records into the PluginHostNotificationQueue, which wakes the main loop once per block.
// - Plug-in threads: a plug-in may call its host callback from threads of its own; whatever that
//   changes reaches the client as a notification posted to the main thread.
// - Parent watch: MainLoop's watch on the client process calls shutdown() when the client ends; the
//   HostExitWatchdog thread ends the process should an orderly end not finish within its grace period.
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
#include "plugin/PluginInstanceTable.h"

#include <cstdint>
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
class PluginHostNotificationQueue;
class PluginHostProxyHandler;
class PluginInstance;
class PluginWindow;

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
    // Makes an editor window of the given size, or null (with the reason on the error stream).
    using PluginWindowFactory = std::function<std::unique_ptr<PluginWindow>(
        PluginInstance* instance, int64_t parentWindowId, int width, int height, bool resizable)>;
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
    // Creates and opens the instance and registers it for the main thread. Counts that the plug-in reports
    // beyond what a shared block or a reply can hold fail the creation (the instance is closed again).
    PluginInstance* createPluginInstance(int instanceId, const base::core::String& path,
                                         const base::core::String& deviceId, bool flag);
    // Makes a registered instance, its audio context set, reachable from the audio threads.
    void enableAudio(PluginInstance* instance);
    // [main, or any thread for tests] The registered instance; audio threads use getAudioInstances().
    PluginInstance* getPluginInstance(unsigned int instanceId) const;
    // [main] Waits until no audio thread is inside the instance, then closes the plug-in and lets go of
    // its audio context (removing the shared block once nothing else holds it).
    void destroyPluginInstance(PluginInstance* instance);
    // [main] Destroys every instance; the orderly end of a host.
    void destroyAllPluginInstances();
    // [any thread] The instances as the audio threads find them.
    const PluginInstanceTable& getAudioInstances() const { return audioInstances; }
    // The live instances, referenced; for main-thread walks (idle, show and hide all windows).
    std::vector<base::core::SmartPtr<PluginInstance>> getPluginInstances() const;
    // [main] The instance's editor window, from the factory when one is set, else an X11 window.
    std::unique_ptr<PluginWindow> createPluginWindow(PluginInstance* instance, int64_t parentWindowId,
                                                     int width, int height, bool resizable);
    void setPluginWindowFactory(PluginWindowFactory factory) { windowFactory = std::move(factory); }
    // Stops the idle tick and ends the main loop. Safe twice and from any thread.
    void shutdown();

    int getSampleRate() const { return sampleRate; }
    int getBlockSize() const { return blockSize; }
    PluginHostProxyHandler* getProxyHandler() const { return proxyHandler; }
    void setProxyHandler(PluginHostProxyHandler* handler) { proxyHandler = handler; }
    MainLoop& getMainLoop() { return *mainLoop; }
    PluginHostNotificationQueue& getNotificationQueue() { return *notificationQueue; }

private:
    void idle();

    base::core::SmartPtr<PluginHostRunThread> runThread;
    PluginHostProxyHandler* proxyHandler = nullptr;
    std::vector<base::core::SmartPtr<Plugin>> loadedPlugins;
    std::unordered_map<int, base::core::SmartPtr<PluginInstance>> instances;
    // Guards `instances` for the threads that tests run beside the main thread; audio threads never take it.
    mutable base::core::Mutex instancesMutex;
    PluginInstanceTable audioInstances;
    int sampleRate;
    int blockSize;
    pthread_t mainThread;
    std::unique_ptr<MainLoop> mainLoop;
    PluginWindowFactory windowFactory;
    // After the loop, whose descriptor watch it registers and removes.
    std::unique_ptr<PluginHostNotificationQueue> notificationQueue;
};

} // namespace plugin
