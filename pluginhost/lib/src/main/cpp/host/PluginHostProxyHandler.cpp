#include "plugin/PluginHostProxyHandler.h"

#include "plugin/PluginHost.h"
#include "plugin/PluginHostMainThreadRunner.h"

namespace plugin {

PluginHostProxyHandler::PluginHostProxyHandler(PluginHost* host)
    : host(host), messageRunner(std::make_unique<PluginHostMainThreadRunner>(host, this)) {
    host->setProxyHandler(this);
}

} // namespace plugin
