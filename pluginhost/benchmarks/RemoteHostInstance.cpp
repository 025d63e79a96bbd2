#include "RemoteHostInstance.h"

#include "base/core/Exception.h"
#include "base/core/IOException.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "client/RemotePluginHostProxyManager.h"
#include "plugin/PluginException.h"
#include "plugin/PluginHostReplies.h"
#include "plugin/PluginHostRequests.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <unistd.h>

namespace plugin::benchmarks {

using base::core::SmartPtr;
using base::core::String;
using base::core::StringBuilder;

namespace {

constexpr double REPLY_TIMEOUT_SECONDS = 30;

// The benchmark drives every host from one thread, which stands for the client's audio thread 0.
class SingleThreadManager : public RemotePluginHostProxyManager {
public:
    void remotePluginHostDied(RemotePluginHostProxy* proxy, const String& message, bool) override {
        base::core::getError()->writeLine(StringBuilder() + "Plugin host " + proxy->getHostId() +
                                          " died: " + message);
        base::core::getError()->flush();
    }
    int getAudioThreadIdForCurrentThread() override { return 0; }
};

// Holds the creation reply, or the error, for the thread that waits for it.
class CreationReplyHandler : public PluginHostAsyncReplyHandler {
public:
    void replyCanceled() override { settle(nullptr, "the request was cancelled"); }
    void handleReply(PluginHostReply* reply) override { settle(reply, String()); }
    void handleError(const String& message) override { settle(nullptr, message); }

    SmartPtr<CreatePluginInstanceReply> waitForReply(const String& modulePath) {
        std::unique_lock<std::mutex> lock(mutex);
        if (!changed.wait_for(lock, std::chrono::duration<double>(REPLY_TIMEOUT_SECONDS),
                              [this] { return done; }))
            error =
                StringBuilder() + "no reply within " + static_cast<int>(REPLY_TIMEOUT_SECONDS) + " seconds";
        auto* created = dynamic_cast<CreatePluginInstanceReply*>(reply.get());
        if (!created || !created->getAudioContext()) {
            throw PluginException(StringBuilder() + "Could not create an instance of " + modulePath +
                                  " in a host: " + (error.isEmpty() ? String("an unexpected reply") : error));
        }
        return created;
    }

private:
    void settle(PluginHostReply* answer, const String& message) {
        std::lock_guard<std::mutex> lock(mutex);
        reply = answer;
        error = message;
        done = true;
        changed.notify_all();
    }

    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    SmartPtr<PluginHostReply> reply;
    String error;
};

// Distinct per process and per host, so that parallel runs never share pipes or shared memory.
int nextHostId() {
    static std::atomic<int> counter{0};
    return static_cast<int>(getpid() % 100000) * 100 + counter++;
}

} // namespace

RemoteHostInstance::RemoteHostInstance(const String& executable, const String& modulePath, int sampleRate,
                                       int blockSize) {
    RemotePluginHostLauncher::Settings settings;
    settings.executable = executable;
    settings.hostId = nextHostId();
    settings.sampleRate = sampleRate;
    settings.blockSize = blockSize;
    settings.audioThreadCount = 1;
    RemotePluginHostLauncher* started = nullptr;
    SmartPtr<RemotePluginHostProxyManager> manager(new SingleThreadManager());
    proxy = RemotePluginHostLauncher::connect(settings, manager.get(), &started);
    launcher = started;
    SmartPtr<CreationReplyHandler> handler(new CreationReplyHandler());
    instanceId = proxy->createPluginInstance(modulePath, String(), String(), false, handler.get(), nullptr);
    context = handler->waitForReply(modulePath)->getAudioContext();
    context->startProcessing();
}

RemoteHostInstance::~RemoteHostInstance() {
    // A host that died on the way has said so through the manager; the shutdown goes on regardless.
    try {
        context->stopProcessing();
        proxy->destroyPluginInstance(instanceId);
    } catch (const base::core::Exception& e) {
        base::core::getError()->writeLine(StringBuilder() +
                                          "Could not stop the host's instance: " + e.getMessage());
        base::core::getError()->flush();
    }
    context.reset();
    proxy.reset(); // sends the shutdown request and closes the pipes
    const int status = launcher->waitForExit();
    if (status != 0) {
        base::core::getError()->writeLine(StringBuilder() + "The plug-in host ended with status " + status);
        base::core::getError()->flush();
    }
}

} // namespace plugin::benchmarks
