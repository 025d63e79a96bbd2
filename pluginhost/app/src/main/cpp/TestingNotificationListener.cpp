#include "TestingNotificationListener.h"

#include "base/core/OutputStream.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "plugin/PluginHostNotifications.h"
#include "plugin/PluginInstanceState.h"

namespace plugin {

using base::core::StringBuilder;

namespace {

// Every notification's first line; returns the stream for what follows.
base::core::OutputStream* writeHeader(PluginHostNotification* notification) {
    base::core::OutputStream* out = base::core::getOut();
    out->writeLine(StringBuilder() +
                   "PluginHostNotification for instance = " + notification->getInstanceId());
    return out;
}

} // namespace

void TestingNotificationListener::onUpdateAllParameters(UpdateAllParametersNotification* notification) {
    base::core::OutputStream* out = writeHeader(notification);
    if (PluginInstanceState* state = notification->getState())
        state->print(out);
    out->flush();
}

void TestingNotificationListener::onUpdateParameter(UpdateParameterNotification* notification) {
    base::core::OutputStream* out = writeHeader(notification);
    out->writeLineAndFlush(StringBuilder() + "value: " + notification->getValue());
}

void TestingNotificationListener::onUpdateParameterDisplay(UpdateParameterDisplayNotification* notification) {
    base::core::OutputStream* out = writeHeader(notification);
    out->writeLineAndFlush(StringBuilder() + "display: " + notification->getDisplay());
}

void TestingNotificationListener::onBeginOrEndEditParameter(
    BeginOrEndEditParameterNotification* notification) {
    base::core::OutputStream* out = writeHeader(notification);
    out->writeLine(StringBuilder() +
                   (notification->isBegin() ? "Begin Edit Parameter " : "End Edit Parameter ") +
                   notification->getIndex());
    out->flush();
}

void TestingNotificationListener::onPluginWindowMoved(PluginWindowMovedNotification* notification) {
    writeHeader(notification)->flush();
}

void TestingNotificationListener::onPluginWindowClosed(PluginWindowClosedNotification* notification) {
    writeHeader(notification)->flush();
}

} // namespace plugin
