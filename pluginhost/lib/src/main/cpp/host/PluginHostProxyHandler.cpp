#include "plugin/PluginHostProxyHandler.h"

#include "plugin/PluginHost.h"
#include "plugin/PluginHostNotifications.h"
#include "plugin/PluginHostRequestRunner.h"
#include "plugin/PluginHostRequests.h"
#include "plugin/PluginInstanceDescription.h"

namespace plugin {

PluginHostProxyHandler::PluginHostProxyHandler(PluginHost* host) : host(host) {
    host->setProxyHandler(this);
}

void PluginHostProxyHandler::runRequest(PluginHostRequest* request) {
    PluginHostRequestRunner runner(host.get(), this);
    request->accept(runner);
}

void PluginHostProxyHandler::runNotification(PluginHostNotification* notification) {
    // Posted from another thread, a notification may run after its instance was destroyed and freed;
    // only a registered instance may be touched.
    PluginInstance* instance = notification->getInstance();
    const bool live = instance && host->getPluginInstance(
                                      static_cast<unsigned int>(notification->getInstanceId())) == instance;
    switch (notification->getNotificationType()) {
    case PluginHostNotification::UPDATE_PARAMETER:
    case PluginHostNotification::UPDATE_PARAMETER_DISPLAY:
        if (live)
            sendNotification(notification);
        break;
    case PluginHostNotification::UPDATE_ALL_PARAMETERS:
        // Describes the instance as it is now, not as it was when the change was seen.
        if (live) {
            static_cast<UpdateAllParametersNotification*>(notification)
                ->setState(describePluginInstance(instance).get());
            sendNotification(notification);
        }
        break;
    default:
        sendNotification(notification);
        break;
    }
}

} // namespace plugin
