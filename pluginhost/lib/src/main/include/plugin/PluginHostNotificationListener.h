#pragma once

#include "base/core/Object.h"

namespace plugin {

class BeginOrEndEditParameterNotification;
class PluginWindowClosedNotification;
class PluginWindowMovedNotification;
class UpdateAllParametersNotification;
class UpdateParameterDisplayNotification;
class UpdateParameterNotification;

// Client side: receives the notifications of one instance. The caller holds each notification for the
// duration of the call.
class PluginHostNotificationListener : public base::core::Object {
public:
    virtual void onUpdateAllParameters(UpdateAllParametersNotification* notification) = 0;
    virtual void onUpdateParameter(UpdateParameterNotification* notification) = 0;
    virtual void onUpdateParameterDisplay(UpdateParameterDisplayNotification* notification) = 0;
    virtual void onBeginOrEndEditParameter(BeginOrEndEditParameterNotification* notification) = 0;
    virtual void onPluginWindowMoved(PluginWindowMovedNotification* notification) = 0;
    virtual void onPluginWindowClosed(PluginWindowClosedNotification* notification) = 0;
};

} // namespace plugin
