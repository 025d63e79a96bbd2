#pragma once

#include "plugin/PluginHostNotificationListener.h"

namespace plugin {

// Prints every notification of one tested instance on standard output. Called on the thread that
// delivers notifications (a proxy's reply thread, or the in-process host's main thread).
class TestingNotificationListener : public PluginHostNotificationListener {
public:
    void onUpdateAllParameters(UpdateAllParametersNotification* notification) override;
    void onUpdateParameter(UpdateParameterNotification* notification) override;
    void onUpdateParameterDisplay(UpdateParameterDisplayNotification* notification) override;
    void onBeginOrEndEditParameter(BeginOrEndEditParameterNotification* notification) override;
    void onPluginWindowMoved(PluginWindowMovedNotification* notification) override;
    void onPluginWindowClosed(PluginWindowClosedNotification* notification) override;
};

} // namespace plugin
