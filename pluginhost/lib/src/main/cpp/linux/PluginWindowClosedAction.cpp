#include "linux/PluginWindowClosedAction.h"

#include "linux/X11PluginWindow.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginInstance.h"

namespace plugin {

void PluginWindowClosedAction::run() {
    // An instance closed meanwhile leaves nothing to do.
    for (const auto& instance : host->getPluginInstances()) {
        auto* window = dynamic_cast<X11PluginWindow*>(instance->getWindow());
        if (window != nullptr && window->getWindowId() == windowId) {
            instance->windowWasClosedFromGui();
            return;
        }
    }
}

} // namespace plugin
