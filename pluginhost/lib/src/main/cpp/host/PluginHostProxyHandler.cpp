#include "plugin/PluginHostProxyHandler.h"

#include "plugin/PluginHost.h"

namespace plugin {

PluginHostProxyHandler::PluginHostProxyHandler(PluginHost* host) : host(host) {
    host->setProxyHandler(this);
}

} // namespace plugin
