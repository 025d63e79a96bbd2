#include "plugin/RemotePluginHostProxyHandler.h"

#include "base/core/IOException.h"
#include "base/core/NamedPipes.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "plugin/HostExitWatchdog.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginHostNotifications.h"
#include "plugin/PluginHostReplies.h"
#include "plugin/PluginHostRequests.h"
#include "plugin/PluginInstance.h"
#include "plugin/RemotePluginAudioContext.h"
#include "plugin/RemotePluginHostProxyHandlerThread.h"

#include <unistd.h>

namespace plugin {

using base::core::NamedPipe;
using base::core::OutputStream;
using base::core::SmartPtr;
using base::core::String;

RemotePluginHostProxyHandler::RemotePluginHostProxyHandler(PluginHost* host, int hostId, int audioThreadCount)
    : PluginHostProxyHandler(host), hostId(hostId), audioThreadCount(audioThreadCount) {
    mainPipe = NamedPipe::connectToServer(base::core::getThreadPipePath(hostId, "main"), nullptr, true, true);
    mainOutput = mainPipe->getOutputStream().get();
    asyncPipe = NamedPipe::connectToServer(base::core::getThreadPipePath(hostId, "async-replies"), nullptr,
                                           false, true);
    asyncOutput = asyncPipe->getOutputStream().get();
}

void RemotePluginHostProxyHandler::start() {
    for (int index = 0; index < audioThreadCount; ++index) {
        SmartPtr<RemoteAudioThread> thread(new RemoteAudioThread(host.get(), hostId, index));
        audioThreads.push_back(thread);
        thread->start();
    }
    handlerThread.reset(new RemotePluginHostProxyHandlerThread(this, host.get(), mainPipe->getInputStream()));
    handlerThread->start();
}

RemotePluginHostProxyHandler::~RemotePluginHostProxyHandler() {
    if (handlerThread)
        handlerThread->stopAndJoin();
    for (auto& thread : audioThreads)
        thread->stopAndJoin();
}

OutputStream* RemotePluginHostProxyHandler::beginAnswer(PluginHostRequest* request) {
    if (!request->isAsync())
        return mainOutput;
    asyncOutput->writeInt32Native(request->getRequestId());
    return asyncOutput;
}

void RemotePluginHostProxyHandler::sendReply(PluginHostRequest* request, PluginHostReply* reply) {
    HostExitWatchdog::ControlWrite write;
    OutputStream* out = beginAnswer(request);
    out->writeBool(true);
    reply->write(out);
    out->flush();
}

void RemotePluginHostProxyHandler::sendVoidReply(PluginHostRequest* request) {
    HostExitWatchdog::ControlWrite write;
    OutputStream* out = beginAnswer(request);
    out->writeBool(true);
    out->flush();
}

void RemotePluginHostProxyHandler::sendErrorMessage(PluginHostRequest* request, const String& message) {
    HostExitWatchdog::ControlWrite write;
    OutputStream* out = beginAnswer(request);
    out->writeBool(false);
    out->writeBinaryString(message);
    out->flush();
}

void RemotePluginHostProxyHandler::sendNotification(PluginHostNotification* notification) {
    HostExitWatchdog::ControlWrite write;
    // The id 0 tells the client a notification follows, not an answer.
    asyncOutput->writeInt32Native(0);
    notification->write(asyncOutput);
    asyncOutput->flush();
}

void RemotePluginHostProxyHandler::initializePluginInstance(PluginInstance* instance) {
    SmartPtr<RemotePluginAudioContext> context(
        new RemotePluginAudioContext(instance, hostId, host->getBlockSize()));
    context->init();
    context->clearAndWriteGuards();
    instance->setAudioContext(context.get());
}

void RemotePluginHostProxyHandler::shutdown() {
    // A join below may never return, should a plug-in hold an audio thread.
    HostExitWatchdog::beginGracePeriod("its shutdown began");
    host->shutdown();
    if (handlerThread)
        handlerThread->stopAndJoin();
    // No audio thread may be inside a plug-in when it is closed.
    for (auto& thread : audioThreads)
        thread->stopAndJoin();
    const auto instances = host->getPluginInstances();
    // The names first, so that no shared block outlives the host even if a plug-in never returns from its
    // close call; the memory stays mapped for the plug-ins until they are closed.
    for (const auto& instance : instances) {
        if (auto* context = static_cast<RemotePluginAudioContext*>(instance->getAudioContext()))
            context->removeSharedName();
    }
    for (const auto& instance : instances) {
        try {
            host->destroyPluginInstance(instance.get());
        } catch (const std::exception& e) {
            base::core::getError()->writeLine(base::core::StringBuilder() +
                                              "Could not close plug-in instance " +
                                              instance->getInstanceId() + ": " + e.what());
        }
    }
    for (OutputStream* out : {mainOutput, asyncOutput}) {
        try {
            out->close();
        } catch (const base::core::IOException&) {
            // The client closed its end first; nothing is left to deliver.
        }
    }
    base::core::getOut()->flush();
    base::core::getError()->flush();
    // Plug-in modules are never unloaded and may run threads or exit handlers of their own; leaving
    // without static destruction keeps a plug-in from turning an orderly shutdown into a crash.
    _exit(0);
}

} // namespace plugin
