// Host side: the constructor of PluginHostNotification that binds a notification to a live instance. It is
// declared with the protocol's notifications but defined here, because only the host has instances; the
// client never calls it.
#include "plugin/PluginHostNotifications.h"
#include "plugin/PluginInstance.h"

namespace plugin {

PluginHostNotification::PluginHostNotification(PluginHostProxyHandler* handler, PluginInstance* instance)
    : instanceId(instance->getInstanceId()), handler(handler), instance(instance) {}

} // namespace plugin
