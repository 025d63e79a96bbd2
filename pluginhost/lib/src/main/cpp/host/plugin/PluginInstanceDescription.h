#pragma once

#include "base/core/SmartPtr.h"
#include "plugin/PluginHostReplies.h"
#include "plugin/PluginInstanceState.h"

namespace plugin {

class PluginInstance;

// Host side: the protocol's descriptions of an instance, built by querying it. Main thread only, where
// every instance getter is called.

// Queries buses, parameters, programs, key names, latency and capabilities with the instance's
// setting-up flag held, so that changes the plug-in reports meanwhile send no notifications.
base::core::SmartPtr<PluginInstanceState> describePluginInstance(PluginInstance* instance);
base::core::SmartPtr<CreatePluginInstanceReply> makeCreatePluginInstanceReply(PluginInstance* instance);
base::core::SmartPtr<DefineIoReply> makeDefineIoReply(PluginInstance* instance);

} // namespace plugin
