#include "plugin/LocalPluginHostProxyHandler.h"

#include "base/core/SmartPtr.h"
#include "plugin/LocalPluginAudioContext.h"
#include "plugin/LocalPluginHostProxy.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginHostNotificationListener.h"
#include "plugin/PluginHostNotifications.h"
#include "plugin/PluginHostReplies.h"
#include "plugin/PluginHostRequests.h"
#include "plugin/PluginInstance.h"

namespace plugin {

using base::core::SmartPtr;
using base::core::String;

LocalPluginHostProxyHandler::LocalPluginHostProxyHandler(PluginHost* host, LocalPluginHostProxy* proxy)
    : PluginHostProxyHandler(host), proxy(proxy) {
    proxy->setContextHandler(this);
}

void LocalPluginHostProxyHandler::sendReply(PluginHostRequest* request, PluginHostReply* reply) {
    if (auto* created = dynamic_cast<CreatePluginInstanceReply*>(reply)) {
        // The client's side of the audio block is the host's own context.
        if (PluginInstance* instance =
                host->getPluginInstance(static_cast<unsigned int>(created->getInstanceId())))
            created->setAudioContext(instance->getAudioContext());
        if (PluginHostNotificationListener* listener =
                static_cast<CreatePluginInstanceRequest*>(request)->getListener())
            proxy->registerListener(created->getInstanceId(), listener);
    }
    proxy->gotReply(request, reply, nullptr);
}

void LocalPluginHostProxyHandler::sendVoidReply(PluginHostRequest* request) {
    proxy->gotReply(request, nullptr, nullptr);
}

void LocalPluginHostProxyHandler::sendErrorMessage(PluginHostRequest* request, const String& message) {
    proxy->gotReply(request, nullptr, &message);
}

void LocalPluginHostProxyHandler::sendNotification(PluginHostNotification* notification) {
    if (const SmartPtr<PluginHostNotificationListener> listener =
            proxy->findListener(notification->getInstanceId()))
        notification->notify(listener.get());
}

void LocalPluginHostProxyHandler::shutdown() {
    host->shutdown();
}

void LocalPluginHostProxyHandler::initializePluginInstance(PluginInstance* instance) {
    SmartPtr<LocalPluginAudioContext> context(new LocalPluginAudioContext(instance, host->getBlockSize()));
    context->init();
    context->clearAndWriteGuards();
    instance->setAudioContext(context.get());
}

} // namespace plugin
