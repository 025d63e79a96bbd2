#pragma once

#include "base/core/Object.h"
#include "base/core/SmartPtr.h"
#include "base/core/String.h"

namespace plugin {

class PluginHostAsyncReplyHandler;
class PluginHostNotificationListener;
class PluginHostProxyHandler;
class PluginHostReply;
class PluginHostRequest;

// The client's view of one host: one call per protocol operation, each building its request and
// handing it to sendRequest, which the transport implements.
class PluginHostProxy : public base::core::Object {
public:
    explicit PluginHostProxy(PluginHostProxyHandler* contextHandler = nullptr);

    // Returns the new instance's id; the reply or error reaches `handler`, notifications `listener`.
    virtual int createPluginInstance(const base::core::String& pluginPath, const base::core::String& deviceId,
                                     const base::core::String& presetPath, bool flag,
                                     PluginHostAsyncReplyHandler* handler,
                                     PluginHostNotificationListener* listener);
    virtual void destroyPluginInstance(int instanceId);
    virtual void cancelAsyncReplies(int instanceId) = 0;
    virtual void openGUI(int instanceId, long long parentWindow, bool flag, const base::core::String& title);
    virtual void setPluginWindowTitle(int instanceId, const base::core::String& title);
    virtual void setPluginWindowPosition(int instanceId, int x, int y, int width, int height);
    virtual void closeGUI(int instanceId);
    virtual void updateIO(int instanceId, PluginHostAsyncReplyHandler* handler);
    virtual void showAllGUIs();
    virtual void hideAllGUIs();
    virtual void activateAppGUI();
    virtual void deactivateAppGUI();
    virtual void loadPreset(int instanceId, const base::core::String& path,
                            PluginHostAsyncReplyHandler* handler);
    virtual void savePreset(int instanceId, const base::core::String& path,
                            PluginHostAsyncReplyHandler* handler);
    virtual void setCurrentProgram(int instanceId, int program);
    virtual void shutdown();
    virtual base::core::SmartPtr<PluginHostReply> ping();
    // The reply of a synchronous request; null for the others, whose answers come asynchronously.
    virtual base::core::SmartPtr<PluginHostReply> sendRequest(PluginHostRequest* request,
                                                              PluginHostAsyncReplyHandler* handler) = 0;

    PluginHostProxyHandler* getContextHandler() const { return contextHandler.get(); }

protected:
    base::core::SmartPtr<PluginHostProxyHandler> contextHandler;
    int nextInstanceId = 1;
};

} // namespace plugin
