// Host side: the members of PluginHostNotification that bind a notification to a live instance. They
// are declared with the protocol's notifications but defined here, because only the host has
// instances; the client never calls them.
#include "plugin/PluginHostNotifications.h"
#include "plugin/PluginInstance.h"

namespace plugin {

PluginHostNotification::PluginHostNotification(PluginHostProxyHandler* handler, PluginInstance* instance)
    : instanceId(instance->getInstanceId()), handler(handler), instance(instance) {}

void PluginHostNotification::rebind(PluginHostProxyHandler* newHandler, PluginInstance* newInstance) {
    handler = newHandler;
    instance = newInstance;
    instanceId = newInstance ? newInstance->getInstanceId() : 0;
}

} // namespace plugin
