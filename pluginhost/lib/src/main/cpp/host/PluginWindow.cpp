#include "plugin/PluginWindow.h"

#include "plugin/PluginHost.h"
#include "plugin/PluginHostNotifications.h"
#include "plugin/PluginHostProxyHandler.h"

namespace plugin {

PluginWindow::PluginWindow(PluginHost* host, PluginInstance* instance) : host(host), instance(instance) {}

PluginWindow::~PluginWindow() {
    if (PluginHostProxyHandler* handler = host->getProxyHandler()) {
        base::core::SmartPtr<PluginWindowClosedNotification> closed(
            new PluginWindowClosedNotification(handler, instance));
        handler->sendNotification(closed.get());
    }
}

} // namespace plugin
