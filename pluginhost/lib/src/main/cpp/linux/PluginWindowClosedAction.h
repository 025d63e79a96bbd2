#pragma once

#include "plugin/PluginHostAction.h"

namespace plugin {

class PluginHost;

// The user pressed an editor window's close button: closes the editor of the instance that owns the window,
// on a later turn of the main loop than the one that received the request. Main thread.
class PluginWindowClosedAction : public PluginHostAction {
public:
    PluginWindowClosedAction(PluginHost* host, unsigned long windowId) : host(host), windowId(windowId) {}
    void run() override;

private:
    PluginHost* host;
    unsigned long windowId;
};

} // namespace plugin
