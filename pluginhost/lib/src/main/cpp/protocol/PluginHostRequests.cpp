#include "plugin/PluginHostRequests.h"

#include "base/core/Assertion.h"
#include "base/core/IOException.h"
#include "base/core/InputStream.h"
#include "base/core/OutputStream.h"
#include "base/core/StringBuilder.h"
#include "plugin/PluginHostReplies.h"

#include <cstdint>

namespace plugin {

using base::core::InputStream;
using base::core::OutputStream;
using base::core::SmartPtr;
using base::core::String;
using base::core::StringBuilder;

// Base classes.

PluginHostRequest::PluginHostRequest(PluginHostProxyHandler* handler) : handler(handler) {}

void PluginHostRequest::run() {
    BASE_ASSERT_MSG(handler, "A request runs on the host, whose handler it carries",
                    "pluginhost/lib/src/main/cpp/protocol/PluginHostRequests");
    if (handler)
        handler->getMessageRunner()->runRequest(this);
}

PluginInstanceRequest::PluginInstanceRequest(PluginHostProxyHandler* handler, int32_t instanceId)
    : PluginHostRequest(handler), instanceId(instanceId) {}

void PluginInstanceRequest::doRead(InputStream* in) {
    instanceId = in->readInt32Native();
}

void PluginInstanceRequest::doWrite(OutputStream* out) const {
    out->writeInt32Native(instanceId);
}

// Creation.

CreatePluginInstanceRequest::CreatePluginInstanceRequest(PluginHostProxyHandler* handler, int32_t instanceId,
                                                         const String& pluginPath, const String& deviceId,
                                                         const String& presetPath, bool flag)
    : PluginInstanceRequest(handler, instanceId), pluginPath(pluginPath), deviceId(deviceId),
      presetPath(presetPath), flag(flag) {}

void CreatePluginInstanceRequest::doRead(InputStream* in) {
    PluginInstanceRequest::doRead(in);
    pluginPath = in->readBinaryString();
    deviceId = in->readBinaryString();
    presetPath = in->readBinaryString();
    flag = in->readBool();
}

void CreatePluginInstanceRequest::doWrite(OutputStream* out) const {
    PluginInstanceRequest::doWrite(out);
    out->writeBinaryString(pluginPath);
    out->writeBinaryString(deviceId);
    out->writeBinaryString(presetPath);
    out->writeBool(flag);
}

SmartPtr<PluginHostReply> CreatePluginInstanceRequest::readReply(InputStream* in) {
    return new CreatePluginInstanceReply(in);
}

// Instance requests.

void OpenGUIRequest::doRead(InputStream* in) {
    PluginInstanceRequest::doRead(in);
    parentWindowHandle = in->readInt64Native();
    flag = in->readBool();
    title = in->readBinaryString();
}

void OpenGUIRequest::doWrite(OutputStream* out) const {
    PluginInstanceRequest::doWrite(out);
    out->writeInt64Native(parentWindowHandle);
    out->writeBool(flag);
    out->writeBinaryString(title);
}

SmartPtr<PluginHostReply> UpdateIORequest::readReply(InputStream* in) {
    return new DefineIoReply(in);
}

void LoadPresetRequest::doRead(InputStream* in) {
    PluginInstanceRequest::doRead(in);
    presetPath = in->readBinaryString();
}

void LoadPresetRequest::doWrite(OutputStream* out) const {
    PluginInstanceRequest::doWrite(out);
    out->writeBinaryString(presetPath);
}

SmartPtr<PluginHostReply> LoadPresetRequest::readReply(InputStream*) {
    return new LoadPresetReply(instanceId, presetPath);
}

void SavePresetRequest::doRead(InputStream* in) {
    PluginInstanceRequest::doRead(in);
    presetPath = in->readBinaryString();
}

void SavePresetRequest::doWrite(OutputStream* out) const {
    PluginInstanceRequest::doWrite(out);
    out->writeBinaryString(presetPath);
}

SmartPtr<PluginHostReply> SavePresetRequest::readReply(InputStream*) {
    return new SavePresetReply(instanceId, presetPath);
}

void SetCurrentProgramRequest::doRead(InputStream* in) {
    PluginInstanceRequest::doRead(in);
    programIndex = in->readInt32Native();
}

void SetCurrentProgramRequest::doWrite(OutputStream* out) const {
    PluginInstanceRequest::doWrite(out);
    out->writeInt32Native(programIndex);
}

void SetWindowTitleRequest::doRead(InputStream* in) {
    PluginInstanceRequest::doRead(in);
    title = in->readBinaryString();
}

void SetWindowTitleRequest::doWrite(OutputStream* out) const {
    PluginInstanceRequest::doWrite(out);
    out->writeBinaryString(title);
}

void SetWindowPositionRequest::doRead(InputStream* in) {
    PluginInstanceRequest::doRead(in);
    x = in->readInt32();
    y = in->readInt32();
    width = in->readInt32();
    height = in->readInt32();
}

void SetWindowPositionRequest::doWrite(OutputStream* out) const {
    PluginInstanceRequest::doWrite(out);
    out->writeInt32(x);
    out->writeInt32(y);
    out->writeInt32(width);
    out->writeInt32(height);
}

// Framing.

SmartPtr<PluginHostRequest> makeRequest(int type, PluginHostProxyHandler* handler) {
    switch (type) {
    case PluginHostRequest::CREATE_PLUGIN_INSTANCE:
        return new CreatePluginInstanceRequest(handler);
    case PluginHostRequest::DESTROY_PLUGIN_INSTANCE:
        return new DestroyPluginInstanceRequest(handler);
    case PluginHostRequest::OPEN_GUI:
        return new OpenGUIRequest(handler);
    case PluginHostRequest::CLOSE_GUI:
        return new CloseGUIRequest(handler);
    case PluginHostRequest::UPDATE_IO:
        return new UpdateIORequest(handler);
    case PluginHostRequest::LOAD_PRESET:
        return new LoadPresetRequest(handler);
    case PluginHostRequest::SAVE_PRESET:
        return new SavePresetRequest(handler);
    case PluginHostRequest::SET_CURRENT_PROGRAM:
        return new SetCurrentProgramRequest(handler);
    case PluginHostRequest::SHOW_ALL_GUIS:
        return new ShowAllGUIsRequest(handler);
    case PluginHostRequest::HIDE_ALL_GUIS:
        return new HideAllGUIsRequest(handler);
    case PluginHostRequest::ACTIVATE_APP_GUI:
        return new ActivateAppGUIRequest(handler);
    case PluginHostRequest::DEACTIVATE_APP_GUI:
        return new DeactivateAppGUIRequest(handler);
    case PluginHostRequest::SHUTDOWN:
        return new ShutdownRequest(handler);
    case PluginHostRequest::PING:
        return new PingRequest(handler);
    case PluginHostRequest::SET_WINDOW_TITLE:
        return new SetWindowTitleRequest(handler);
    case PluginHostRequest::SET_WINDOW_POSITION:
        return new SetWindowPositionRequest(handler);
    default:
        throw base::core::IOException(StringBuilder() + "Unknown request type " + type);
    }
}

namespace {

bool carriesRequestId(const PluginHostRequest& request) {
    return request.hasReply() && request.isAsync();
}

} // namespace

void writeRequest(OutputStream* out, PluginHostRequest& request) {
    out->writeByte(static_cast<unsigned char>(request.getRequestType()));
    if (carriesRequestId(request))
        out->writeInt32Native(request.getRequestId());
    request.doWrite(out);
    out->flush();
}

SmartPtr<PluginHostRequest> readRequest(InputStream* in, PluginHostProxyHandler* handler) {
    const int type = in->readByte();
    if (type > PluginHostRequest::MAX_REQUEST_TYPE)
        throw base::core::IOException(StringBuilder() + "Unknown request type " + type);
    const SmartPtr<PluginHostRequest> request = makeRequest(type, handler);
    if (carriesRequestId(*request))
        request->setRequestId(in->readInt32Native());
    request->doRead(in);
    return request;
}

} // namespace plugin
