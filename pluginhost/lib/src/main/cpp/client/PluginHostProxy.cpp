#include "client/PluginHostProxy.h"

#include "base/core/IOException.h"
#include "plugin/PluginHostNotificationListener.h"
#include "plugin/PluginHostReplies.h"
#include "plugin/PluginHostRequests.h"

namespace plugin {

using base::core::SmartPtr;
using base::core::String;

PluginHostProxy::PluginHostProxy(PluginHostProxyHandler* contextHandler) : contextHandler(contextHandler) {}

int PluginHostProxy::createPluginInstance(const String& pluginPath, const String& deviceId,
                                          const String& presetPath, bool flag,
                                          PluginHostAsyncReplyHandler* handler,
                                          PluginHostNotificationListener* listener) {
    const int instanceId = nextInstanceId++;
    SmartPtr<CreatePluginInstanceRequest> request(new CreatePluginInstanceRequest(
        contextHandler.get(), instanceId, pluginPath, deviceId, presetPath, flag));
    request->setListener(listener);
    sendRequest(request.get(), handler);
    return instanceId;
}

void PluginHostProxy::destroyPluginInstance(int instanceId) {
    cancelAsyncReplies(instanceId);
    SmartPtr<PluginHostRequest> request(new DestroyPluginInstanceRequest(contextHandler.get(), instanceId));
    sendRequest(request.get(), nullptr);
}

void PluginHostProxy::openGUI(int instanceId, long long parentWindow, bool flag, const String& title) {
    SmartPtr<PluginHostRequest> request(
        new OpenGUIRequest(contextHandler.get(), instanceId, parentWindow, flag, title));
    sendRequest(request.get(), nullptr);
}

void PluginHostProxy::setPluginWindowTitle(int instanceId, const String& title) {
    SmartPtr<PluginHostRequest> request(new SetWindowTitleRequest(contextHandler.get(), instanceId, title));
    sendRequest(request.get(), nullptr);
}

void PluginHostProxy::setPluginWindowPosition(int instanceId, int x, int y, int width, int height) {
    SmartPtr<PluginHostRequest> request(
        new SetWindowPositionRequest(contextHandler.get(), instanceId, x, y, width, height));
    sendRequest(request.get(), nullptr);
}

void PluginHostProxy::closeGUI(int instanceId) {
    SmartPtr<PluginHostRequest> request(new CloseGUIRequest(contextHandler.get(), instanceId));
    sendRequest(request.get(), nullptr);
}

void PluginHostProxy::updateIO(int instanceId, PluginHostAsyncReplyHandler* handler) {
    SmartPtr<PluginHostRequest> request(new UpdateIORequest(contextHandler.get(), instanceId));
    sendRequest(request.get(), handler);
}

void PluginHostProxy::showAllGUIs() {
    SmartPtr<PluginHostRequest> request(new ShowAllGUIsRequest(contextHandler.get()));
    sendRequest(request.get(), nullptr);
}

void PluginHostProxy::hideAllGUIs() {
    SmartPtr<PluginHostRequest> request(new HideAllGUIsRequest(contextHandler.get()));
    sendRequest(request.get(), nullptr);
}

void PluginHostProxy::activateAppGUI() {
    SmartPtr<PluginHostRequest> request(new ActivateAppGUIRequest(contextHandler.get()));
    sendRequest(request.get(), nullptr);
}

void PluginHostProxy::deactivateAppGUI() {
    SmartPtr<PluginHostRequest> request(new DeactivateAppGUIRequest(contextHandler.get()));
    sendRequest(request.get(), nullptr);
}

void PluginHostProxy::loadPreset(int instanceId, const String& path, PluginHostAsyncReplyHandler* handler) {
    SmartPtr<PluginHostRequest> request(new LoadPresetRequest(contextHandler.get(), instanceId, path));
    sendRequest(request.get(), handler);
}

void PluginHostProxy::savePreset(int instanceId, const String& path, PluginHostAsyncReplyHandler* handler) {
    SmartPtr<PluginHostRequest> request(new SavePresetRequest(contextHandler.get(), instanceId, path));
    sendRequest(request.get(), handler);
}

void PluginHostProxy::setCurrentProgram(int instanceId, int program) {
    SmartPtr<PluginHostRequest> request(
        new SetCurrentProgramRequest(contextHandler.get(), instanceId, program));
    sendRequest(request.get(), nullptr);
}

void PluginHostProxy::shutdown() {
    SmartPtr<PluginHostRequest> request(new ShutdownRequest(contextHandler.get()));
    try {
        sendRequest(request.get(), nullptr);
    } catch (const base::core::IOException&) {
        // A host that is gone already needs no telling.
    }
}

SmartPtr<PluginHostReply> PluginHostProxy::ping() {
    SmartPtr<PluginHostRequest> request(new PingRequest(contextHandler.get()));
    return sendRequest(request.get(), nullptr);
}

} // namespace plugin
