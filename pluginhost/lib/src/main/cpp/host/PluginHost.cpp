#include "plugin/PluginHost.h"

#include "base/core/LockGuard.h"
#include "base/core/StringBuilder.h"
#include "linux/MainLoop.h"
#include "linux/X11PluginWindow.h"
#include "plugin/Plugin.h"
#include "plugin/PluginApi.h"
#include "plugin/PluginException.h"
#include "plugin/PluginHostAction.h"
#include "plugin/PluginHostNotificationQueue.h"
#include "plugin/PluginInstance.h"

namespace plugin {

using base::core::LockGuard;
using base::core::SmartPtr;
using base::core::String;
using base::core::StringBuilder;

PluginHost* PluginHost::INSTANCE = nullptr;

PluginHostRunThread::PluginHostRunThread(PluginHost* host)
    : Thread("PluginHost Main Thread", 4), host(host) {}

void PluginHostRunThread::run() {
    host->getMainLoop().waitUntilTerminated();
}

PluginHost::PluginHost(int sampleRate, int blockSize)
    : sampleRate(sampleRate), blockSize(blockSize), mainThread(pthread_self()), mainLoop(new MainLoop()) {
    instances.max_load_factor(1.0f);
    INSTANCE = this;
    notificationQueue.reset(new PluginHostNotificationQueue(this));
    mainLoop->watchParentProcess([this] { shutdown(); });
    mainLoop->addTimer(IDLE_INTERVAL_SECONDS, [this] { idle(); });
}

PluginHost::~PluginHost() {
    if (INSTANCE == this)
        INSTANCE = nullptr;
    for (const auto& instance : getPluginInstances())
        audioInstances.remove(instance->getInstanceId());
    {
        LockGuard guard(instancesMutex);
        instances.clear();
    }
    while (!loadedPlugins.empty())
        loadedPlugins.pop_back();
    runThread.reset();
}

bool PluginHost::beforeDestruction() {
    if (runThread) {
        mainLoop->terminate();
        runThread.reset(); // joins
    }
    return true;
}

void PluginHost::runOnSeparateThread() {
    runThread = new PluginHostRunThread(this);
    runThread->start();
}

bool PluginHost::isMainThread() const {
    return pthread_equal(pthread_self(), mainThread) != 0;
}

void PluginHost::execOnMainThread(const SmartPtr<PluginHostAction>& action) {
    if (isMainThread())
        action->run();
    else
        mainLoop->post(action);
}

Plugin* PluginHost::getPlugin(const String& path) {
    for (const auto& plugin : loadedPlugins) {
        if (plugin->getPath() == path)
            return plugin.get();
    }
    PluginApi* api = path.endsWith("vst3") ? VST3_PLUGIN_API_INSTANCE : VST2_PLUGIN_API_INSTANCE;
    if (!api)
        return nullptr;
    SmartPtr<Plugin> plugin = api->loadPlugin(this, path);
    if (!plugin)
        return nullptr;
    loadedPlugins.push_back(plugin);
    return plugin.get();
}

namespace {

// Bounds on what a plug-in may report, so that a broken one fails its creation with a message instead of
// making the host allocate without end: far beyond any real plug-in, far below what would exhaust memory.
constexpr int MAX_CHANNEL_COUNT = 1024;
constexpr int MAX_PARAMETER_COUNT = 1 << 17;
constexpr int MAX_PROGRAM_COUNT = 1 << 17;

void checkCount(const char* what, int count, int limit) {
    if (count < 0 || count > limit)
        throw PluginException(StringBuilder() + "The plug-in reports " + count + " " + what +
                              "; a count from 0 to " + limit + " is expected");
}

} // namespace

PluginInstance* PluginHost::createPluginInstance(int instanceId, const String& path, const String& deviceId,
                                                 bool flag) {
    SmartPtr<Plugin> plugin(getPlugin(path));
    if (!plugin || !plugin->wasSuccesfullyLoaded())
        throw PluginException(StringBuilder() + "Couldn't load VST plug-in: " + path);
    SmartPtr<PluginInstance> instance = plugin->createInstance(instanceId, deviceId, flag);
    // A VST 3 class the factory does not make, or that refuses to initialize, gives an empty instance.
    if (!instance || !instance->wasSucessfullyInstanciated())
        throw PluginException(StringBuilder() + "Couldn't instantiate VST plug-in: " + path);
    instance->open();
    try {
        checkCount("audio inputs", instance->getTotalAudioInChannelCount(), MAX_CHANNEL_COUNT);
        checkCount("audio outputs", instance->getTotalAudioOutChannelCount(), MAX_CHANNEL_COUNT);
        checkCount("parameters", instance->getParameterCount(), MAX_PARAMETER_COUNT);
        checkCount("programs", instance->getProgramCount(), MAX_PROGRAM_COUNT);
        LockGuard guard(instancesMutex);
        // The client never reuses a live id; should it, the registered instance stays and the new one goes.
        if (!instances.emplace(instanceId, instance).second)
            throw PluginException(StringBuilder() + "Plug-in instance id " + instanceId +
                                  " is already in use");
    } catch (...) {
        instance->destroy();
        throw;
    }
    return instance.get();
}

void PluginHost::enableAudio(PluginInstance* instance) {
    if (!audioInstances.add(instance->getInstanceId(), instance))
        throw PluginException(StringBuilder() + "Too many plug-in instances in one host (at most " +
                              PluginInstanceTable::CAPACITY + ")");
}

PluginInstance* PluginHost::getPluginInstance(unsigned int instanceId) const {
    LockGuard guard(instancesMutex);
    auto found = instances.find(static_cast<int>(instanceId));
    return found == instances.end() ? nullptr : found->second.get();
}

std::vector<SmartPtr<PluginInstance>> PluginHost::getPluginInstances() const {
    std::vector<SmartPtr<PluginInstance>> result;
    LockGuard guard(instancesMutex);
    result.reserve(instances.size());
    for (const auto& entry : instances)
        result.push_back(entry.second);
    return result;
}

void PluginHost::destroyPluginInstance(PluginInstance* instance) {
    SmartPtr<PluginInstance> keep(instance);
    // First out of the audio threads' reach: a thread still in the plug-in's process or stop call ends it
    // before the plug-in is closed.
    audioInstances.remove(instance->getInstanceId());
    SmartPtr<PluginInstance> removed;
    {
        LockGuard guard(instancesMutex);
        auto found = instances.find(instance->getInstanceId());
        if (found != instances.end() && found->second.get() == instance) {
            removed = std::move(found->second);
            instances.erase(found);
        }
    }
    instance->destroy();
    // Actions still queued may hold the instance; its shared block goes now all the same.
    instance->setAudioContext(nullptr);
    // `removed` and `keep` release outside the lock: the instance's destructor may take long.
}

void PluginHost::destroyAllPluginInstances() {
    for (const auto& instance : getPluginInstances())
        destroyPluginInstance(instance.get());
}

std::unique_ptr<PluginWindow> PluginHost::createPluginWindow(PluginInstance* instance, int64_t parentWindowId,
                                                             int width, int height, bool resizable) {
    if (windowFactory)
        return windowFactory(instance, parentWindowId, width, height, resizable);
    return X11PluginWindow::create(this, instance, parentWindowId, width, height, resizable);
}

void PluginHost::idle() {
    for (const auto& instance : getPluginInstances())
        instance->idle();
}

void PluginHost::shutdown() {
    mainLoop->terminate();
}

} // namespace plugin
