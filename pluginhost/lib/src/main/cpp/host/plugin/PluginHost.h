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
