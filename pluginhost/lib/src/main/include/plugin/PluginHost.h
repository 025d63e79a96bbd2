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
