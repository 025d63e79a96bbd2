#include "plugin/PluginHostNotifications.h"

#include "base/core/Assertion.h"
#include "base/core/InputStream.h"
#include "base/core/OutputStream.h"
#include "plugin/PluginHostProxyHandler.h"

namespace plugin {

using base::core::InputStream;
using base::core::OutputStream;
using base::core::SmartPtr;

PluginHostNotification::PluginHostNotification(PluginHostProxyHandler* handler) : handler(handler) {}

void PluginHostNotification::run() {
    BASE_ASSERT_MSG(handler, "A notification runs on the host, whose handler it carries",
                    "pluginhost/lib/src/main/cpp/protocol/PluginHostNotifications");
    if (handler)
        handler->getMessageRunner()->runNotification(this);
}

void PluginHostNotification::write(OutputStream* out) const {
    out->writeByte(static_cast<unsigned char>(getNotificationType()));
    out->writeInt32Native(instanceId);
    writeFields(out);
}

void UpdateParameterNotification::writeFields(OutputStream* out) const {
    out->writeInt32Native(index);
    out->writeFloat(value);
}

void UpdateParameterNotification::readFields(InputStream* in) {
    index = in->readInt32Native();
    value = in->readFloat();
}

void UpdateParameterDisplayNotification::writeFields(OutputStream* out) const {
    out->writeInt32Native(index);
    out->writeBinaryString(name);
    out->writeBinaryString(display);
}

void UpdateParameterDisplayNotification::readFields(InputStream* in) {
    index = in->readInt32Native();
    name = in->readBinaryString();
    display = in->readBinaryString();
}

void UpdateAllParametersNotification::writeFields(OutputStream* out) const {
    state->write(out);
}

void UpdateAllParametersNotification::readFields(InputStream* in) {
    state = new PluginInstanceState(in);
}

void BeginOrEndEditParameterNotification::writeFields(OutputStream* out) const {
    out->writeInt32Native(index);
    out->writeBool(begin);
}

void BeginOrEndEditParameterNotification::readFields(InputStream* in) {
    index = in->readInt32Native();
    begin = in->readBool();
}

void PluginWindowMovedNotification::writeFields(OutputStream* out) const {
    out->writeInt32(x);
    out->writeInt32(y);
    out->writeInt32(width);
    out->writeInt32(height);
}

void PluginWindowMovedNotification::readFields(InputStream* in) {
    x = in->readInt32();
    y = in->readInt32();
    width = in->readInt32();
    height = in->readInt32();
}

SmartPtr<PluginHostNotification> readPluginHostNotification(PluginHostProxyHandler* handler,
                                                            InputStream* in) {
    SmartPtr<PluginHostNotification> notification;
    switch (in->readByte()) {
    case PluginHostNotification::UPDATE_PARAMETER:
        notification = new UpdateParameterNotification(handler);
        break;
    case PluginHostNotification::UPDATE_PARAMETER_DISPLAY:
        notification = new UpdateParameterDisplayNotification(handler);
        break;
    case PluginHostNotification::UPDATE_ALL_PARAMETERS:
        notification = new UpdateAllParametersNotification(handler);
        break;
    case PluginHostNotification::BEGIN_OR_END_EDIT_PARAMETER:
        notification = new BeginOrEndEditParameterNotification(handler);
        break;
    case PluginHostNotification::PLUGIN_WINDOW_CLOSED:
        notification = new PluginWindowClosedNotification(handler);
        break;
    case PluginHostNotification::PLUGIN_WINDOW_MOVED:
        notification = new PluginWindowMovedNotification(handler);
        break;
    default: {
        // Keeps the source and line this report has always carried, so earlier reports still match.
        static bool ignoreFlag = false;
        base::core::illegalState("Unknown notification type", "pluginhost/lib/src/main/cpp/PluginHostReplies",
                                 444, ignoreFlag);
        return nullptr;
    }
    }
    notification->instanceId = in->readInt32Native();
    notification->readFields(in);
    return notification;
}

} // namespace plugin
