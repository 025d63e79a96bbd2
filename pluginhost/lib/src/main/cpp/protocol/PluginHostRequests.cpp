#include "plugin/PluginHostRequests.h"

#include "base/core/Assertion.h"
#include "base/core/Exception.h"
#include "base/core/FilePath.h"
#include "base/core/IOException.h"
#include "base/core/InputStream.h"
#include "base/core/LocalFileSystem.h"
#include "base/core/OutputStream.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginHostReplies.h"
#include "plugin/PluginInstance.h"
#include "plugin/PluginWindow.h"

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
    run(handler->getHost());
}

PluginInstanceRequest::PluginInstanceRequest(PluginHostProxyHandler* handler, int32_t instanceId)
    : PluginHostRequest(handler), instanceId(instanceId) {}

void PluginInstanceRequest::run(PluginHost* host) {
    // Held for the run, so that a request that destroys the instance still has it until it returns.
    const SmartPtr<PluginInstance> instance = host->getPluginInstance(static_cast<unsigned int>(instanceId));
    if (!instance) {
        base::core::getError()->writeLine(StringBuilder() + "No plugin instance found with id " + instanceId);
        return;
    }
    run(instance.get());
}

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

void CreatePluginInstanceRequest::run(PluginHost* host) {
    PluginInstance* instance;
    try {
        instance = host->createPluginInstance(instanceId, pluginPath, deviceId, flag);
    } catch (const base::core::Exception& e) {
        handler->sendErrorMessage(this, e.getMessage());
        return;
    }
    instance->setSettingUp(true);
    instance->prepareBeforeGettingInstanceReply();
    if (!presetPath.isEmpty()) {
        try {
            instance->loadPreset(presetPath);
        } catch (const base::core::Exception& e) {
            // The instance stays created and registered; the client decides what becomes of it.
            handler->sendErrorMessage(this, e.getMessage());
            return;
        }
    }
    handler->initializePluginInstance(instance);
    instance->setProxyHandler(handler.get());
    instance->setSettingUp(false);
    const SmartPtr<CreatePluginInstanceReply> reply = new CreatePluginInstanceReply(instance);
    handler->sendReply(this, reply.get());
}

void CreatePluginInstanceRequest::run(PluginInstance*) {
    BASE_ILLEGAL_STATE("Should not be called", "src/main/include/plugin/PluginHostRequests");
}

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

void DestroyPluginInstanceRequest::run(PluginInstance* instance) {
    instance->getHost()->destroyPluginInstance(instance);
}

void OpenGUIRequest::run(PluginInstance* instance) {
    instance->openGUI(reinterpret_cast<void*>(static_cast<intptr_t>(parentWindowHandle)), flag, title);
}

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

void CloseGUIRequest::run(PluginInstance* instance) {
    instance->closeGUI();
}

void UpdateIORequest::run(PluginInstance* instance) {
    const SmartPtr<DefineIoReply> reply = new DefineIoReply(instance);
    handler->sendReply(this, reply.get());
}

SmartPtr<PluginHostReply> UpdateIORequest::readReply(InputStream* in) {
    return new DefineIoReply(in);
}

void LoadPresetRequest::run(PluginInstance* instance) {
    try {
        instance->loadPreset(presetPath);
    } catch (const base::core::IOException& e) {
        handler->sendErrorMessage(this, e.getMessage());
        return;
    }
    const SmartPtr<LoadPresetReply> reply = new LoadPresetReply(instanceId, presetPath);
    handler->sendReply(this, reply.get());
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

void SavePresetRequest::run(PluginInstance* instance) {
    try {
        base::core::FilePath directory = base::core::LocalFileSystem::filePathFromNative(presetPath);
        directory.setToParent();
        base::core::LocalFileSystem::getInstance()->createDirectories(directory);
        instance->savePreset(presetPath);
    } catch (const base::core::IOException& e) {
        handler->sendErrorMessage(this, e.getMessage());
        return;
    }
    const SmartPtr<SavePresetReply> reply = new SavePresetReply(instanceId, presetPath);
    handler->sendReply(this, reply.get());
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

void SetCurrentProgramRequest::run(PluginInstance* instance) {
    instance->setCurrentProgram(programIndex, 0);
}

void SetCurrentProgramRequest::doRead(InputStream* in) {
    PluginInstanceRequest::doRead(in);
    programIndex = in->readInt32Native();
}

void SetCurrentProgramRequest::doWrite(OutputStream* out) const {
    PluginInstanceRequest::doWrite(out);
    out->writeInt32Native(programIndex);
}

void SetWindowTitleRequest::run(PluginInstance* instance) {
    instance->setWindowTitle(title);
}

void SetWindowTitleRequest::doRead(InputStream* in) {
    PluginInstanceRequest::doRead(in);
    title = in->readBinaryString();
}

void SetWindowTitleRequest::doWrite(OutputStream* out) const {
    PluginInstanceRequest::doWrite(out);
    out->writeBinaryString(title);
}

void SetWindowPositionRequest::run(PluginInstance* instance) {
    instance->setWindowRect(x, y, width, height);
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

// Host requests.

void ShowAllGUIsRequest::run(PluginHost* host) {
    for (const SmartPtr<PluginInstance>& instance : host->getPluginInstances()) {
        PluginWindow* window = instance->getWindow();
        if (window && instance->isHidden()) {
            // Showing the window moves it; that is not a move the client needs to hear of.
            instance->setWindowNotificationsSuppressed(true);
            window->show();
            instance->setWindowNotificationsSuppressed(false);
            instance->setHidden(false);
        }
    }
}

void HideAllGUIsRequest::run(PluginHost* host) {
    for (const SmartPtr<PluginInstance>& instance : host->getPluginInstances()) {
        PluginWindow* window = instance->getWindow();
        if (window && !instance->isHidden()) {
            instance->setHidden(true);
            window->hide();
        }
    }
}

// X11 has no activation of an application as a whole; raising every editor window is its equivalent.
void ActivateAppGUIRequest::run(PluginHost* host) {
    for (const SmartPtr<PluginInstance>& instance : host->getPluginInstances()) {
        if (PluginWindow* window = instance->getWindow())
            window->activate();
    }
}

// X11 has no way to give up activation other than another client taking the focus, so nothing to do.
void DeactivateAppGUIRequest::run(PluginHost*) {}

void ShutdownRequest::run(PluginHost*) {
    handler->shutdown();
}

void PingRequest::run(PluginHost*) {
    handler->sendVoidReply(this);
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
