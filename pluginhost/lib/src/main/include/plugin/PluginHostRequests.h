#pragma once

#include "base/core/Object.h"
#include "base/core/SmartPtr.h"
#include "base/core/String.h"
#include "plugin/PluginHostAction.h"
#include "plugin/PluginHostNotificationListener.h"
#include "plugin/PluginHostProxyHandler.h"
#include "plugin/PluginHostReplies.h"
#include "plugin/PluginHostRequestVisitor.h"

#include <cstdint>

namespace base::core {
class InputStream;
class OutputStream;
} // namespace base::core

namespace plugin {

class PluginHostRequest;

// Client side: receives the outcome of one asynchronous request, exactly one of the three.
class PluginHostAsyncReplyHandler : public base::core::Object {
public:
    virtual void replyCanceled() = 0;
    virtual void handleReply(PluginHostReply* reply) = 0;
    virtual void handleError(const base::core::String& message) = 0;
};

// Both sides: a control request from the client, as data with its wire form. The host reads it on the
// handler thread and runs it on the main thread, where its handler does the work (through accept) and
// the answer goes back through the same handler.
class PluginHostRequest : public PluginHostAction {
public:
    enum RequestType {
        CREATE_PLUGIN_INSTANCE = 0,
        DESTROY_PLUGIN_INSTANCE = 1,
        OPEN_GUI = 2,
        CLOSE_GUI = 3,
        UPDATE_IO = 4,
        LOAD_PRESET = 5,
        SAVE_PRESET = 6,
        SET_CURRENT_PROGRAM = 7,
        SHOW_ALL_GUIS = 8,
        HIDE_ALL_GUIS = 9,
        ACTIVATE_APP_GUI = 10,
        DEACTIVATE_APP_GUI = 11,
        SHUTDOWN = 12,
        PING = 13,
        SET_WINDOW_TITLE = 14,
        SET_WINDOW_POSITION = 15,
    };
    static constexpr int MAX_REQUEST_TYPE = SET_WINDOW_POSITION;

    explicit PluginHostRequest(PluginHostProxyHandler* handler);

    // Host side, main thread: hands the request to its handler's message runner.
    void run() override;
    virtual int getRequestType() const = 0;
    virtual void accept(PluginHostRequestVisitor& visitor) = 0;
    virtual bool isForPluginInstance(int id) const { return false; }
    virtual bool hasReply() const { return false; }
    virtual bool isAsync() const { return true; }
    virtual void doRead(base::core::InputStream* in) {}
    virtual void doWrite(base::core::OutputStream* out) const {}
    // Client side: reads the reply body that follows a success byte; null for requests without one.
    virtual base::core::SmartPtr<PluginHostReply> readReply(base::core::InputStream* in) { return nullptr; }

    PluginHostProxyHandler* getHandler() const { return handler.get(); }
    PluginHostAsyncReplyHandler* getAsyncReplyHandler() const { return asyncReplyHandler.get(); }
    void setAsyncReplyHandler(PluginHostAsyncReplyHandler* replyHandler) { asyncReplyHandler = replyHandler; }
    int32_t getRequestId() const { return requestId; }
    void setRequestId(int32_t id) { requestId = id; }

protected:
    base::core::SmartPtr<PluginHostProxyHandler> handler;
    base::core::SmartPtr<PluginHostAsyncReplyHandler> asyncReplyHandler;
    int32_t requestId = -1;
};

// A request addressed to one instance; its body begins with the instance id.
class PluginInstanceRequest : public PluginHostRequest {
public:
    // The id of a request whose body has not been read yet.
    static constexpr int32_t UNREAD_INSTANCE_ID = -7;

    PluginInstanceRequest(PluginHostProxyHandler* handler, int32_t instanceId);

    bool isForPluginInstance(int id) const override { return id == instanceId; }
    void doRead(base::core::InputStream* in) override;
    void doWrite(base::core::OutputStream* out) const override;

    int32_t getInstanceId() const { return instanceId; }

protected:
    int32_t instanceId;
};

class CreatePluginInstanceRequest : public PluginInstanceRequest {
public:
    explicit CreatePluginInstanceRequest(PluginHostProxyHandler* handler,
                                         int32_t instanceId = UNREAD_INSTANCE_ID,
                                         const base::core::String& pluginPath = {},
                                         const base::core::String& deviceId = {},
                                         const base::core::String& presetPath = {}, bool flag = false);

    int getRequestType() const override { return CREATE_PLUGIN_INSTANCE; }
    void accept(PluginHostRequestVisitor& visitor) override { visitor.visit(*this); }
    bool hasReply() const override { return true; }
    void doRead(base::core::InputStream* in) override;
    void doWrite(base::core::OutputStream* out) const override;
    base::core::SmartPtr<PluginHostReply> readReply(base::core::InputStream* in) override;

    const base::core::String& getPluginPath() const { return pluginPath; }
    const base::core::String& getDeviceId() const { return deviceId; }
    const base::core::String& getPresetPath() const { return presetPath; }
    bool getFlag() const { return flag; }
    // Client side: the listener of the new instance's notifications travels with its creation.
    PluginHostNotificationListener* getListener() const { return listener.get(); }
    void setListener(PluginHostNotificationListener* value) { listener = value; }

private:
    base::core::String pluginPath;
    base::core::String deviceId;
    base::core::String presetPath;
    bool flag;
    base::core::SmartPtr<PluginHostNotificationListener> listener;
};

class DestroyPluginInstanceRequest : public PluginInstanceRequest {
public:
    explicit DestroyPluginInstanceRequest(PluginHostProxyHandler* handler,
                                          int32_t instanceId = UNREAD_INSTANCE_ID)
        : PluginInstanceRequest(handler, instanceId) {}

    int getRequestType() const override { return DESTROY_PLUGIN_INSTANCE; }
    void accept(PluginHostRequestVisitor& visitor) override { visitor.visit(*this); }
};

class OpenGUIRequest : public PluginInstanceRequest {
public:
    explicit OpenGUIRequest(PluginHostProxyHandler* handler, int32_t instanceId = UNREAD_INSTANCE_ID,
                            int64_t parentWindowHandle = 0, bool flag = false,
                            const base::core::String& title = {})
        : PluginInstanceRequest(handler, instanceId), parentWindowHandle(parentWindowHandle), flag(flag),
          title(title) {}

    int getRequestType() const override { return OPEN_GUI; }
    void accept(PluginHostRequestVisitor& visitor) override { visitor.visit(*this); }
    void doRead(base::core::InputStream* in) override;
    void doWrite(base::core::OutputStream* out) const override;

    // The client's native window to attach to.
    int64_t getParentWindowHandle() const { return parentWindowHandle; }
    bool getFlag() const { return flag; }
    const base::core::String& getTitle() const { return title; }

private:
    int64_t parentWindowHandle;
    bool flag;
    base::core::String title;
};

class CloseGUIRequest : public PluginInstanceRequest {
public:
    explicit CloseGUIRequest(PluginHostProxyHandler* handler, int32_t instanceId = UNREAD_INSTANCE_ID)
        : PluginInstanceRequest(handler, instanceId) {}

    int getRequestType() const override { return CLOSE_GUI; }
    void accept(PluginHostRequestVisitor& visitor) override { visitor.visit(*this); }
};

class UpdateIORequest : public PluginInstanceRequest {
public:
    explicit UpdateIORequest(PluginHostProxyHandler* handler, int32_t instanceId = UNREAD_INSTANCE_ID)
        : PluginInstanceRequest(handler, instanceId) {}

    int getRequestType() const override { return UPDATE_IO; }
    void accept(PluginHostRequestVisitor& visitor) override { visitor.visit(*this); }
    bool hasReply() const override { return true; }
    base::core::SmartPtr<PluginHostReply> readReply(base::core::InputStream* in) override;
};

class LoadPresetRequest : public PluginInstanceRequest {
public:
    explicit LoadPresetRequest(PluginHostProxyHandler* handler, int32_t instanceId = UNREAD_INSTANCE_ID,
                               const base::core::String& presetPath = {})
        : PluginInstanceRequest(handler, instanceId), presetPath(presetPath) {}

    int getRequestType() const override { return LOAD_PRESET; }
    void accept(PluginHostRequestVisitor& visitor) override { visitor.visit(*this); }
    bool hasReply() const override { return true; }
    void doRead(base::core::InputStream* in) override;
    void doWrite(base::core::OutputStream* out) const override;
    base::core::SmartPtr<PluginHostReply> readReply(base::core::InputStream* in) override;

    const base::core::String& getPresetPath() const { return presetPath; }

private:
    base::core::String presetPath;
};

class SavePresetRequest : public PluginInstanceRequest {
public:
    explicit SavePresetRequest(PluginHostProxyHandler* handler, int32_t instanceId = UNREAD_INSTANCE_ID,
                               const base::core::String& presetPath = {})
        : PluginInstanceRequest(handler, instanceId), presetPath(presetPath) {}

    int getRequestType() const override { return SAVE_PRESET; }
    void accept(PluginHostRequestVisitor& visitor) override { visitor.visit(*this); }
    bool hasReply() const override { return true; }
    void doRead(base::core::InputStream* in) override;
    void doWrite(base::core::OutputStream* out) const override;
    base::core::SmartPtr<PluginHostReply> readReply(base::core::InputStream* in) override;

    const base::core::String& getPresetPath() const { return presetPath; }

private:
    base::core::String presetPath;
};

class SetCurrentProgramRequest : public PluginInstanceRequest {
public:
    explicit SetCurrentProgramRequest(PluginHostProxyHandler* handler,
                                      int32_t instanceId = UNREAD_INSTANCE_ID, int32_t programIndex = 0)
        : PluginInstanceRequest(handler, instanceId), programIndex(programIndex) {}

    int getRequestType() const override { return SET_CURRENT_PROGRAM; }
    void accept(PluginHostRequestVisitor& visitor) override { visitor.visit(*this); }
    void doRead(base::core::InputStream* in) override;
    void doWrite(base::core::OutputStream* out) const override;

    int32_t getProgramIndex() const { return programIndex; }

private:
    int32_t programIndex;
};

class ShowAllGUIsRequest : public PluginHostRequest {
public:
    explicit ShowAllGUIsRequest(PluginHostProxyHandler* handler) : PluginHostRequest(handler) {}

    int getRequestType() const override { return SHOW_ALL_GUIS; }
    void accept(PluginHostRequestVisitor& visitor) override { visitor.visit(*this); }
};

class HideAllGUIsRequest : public PluginHostRequest {
public:
    explicit HideAllGUIsRequest(PluginHostProxyHandler* handler) : PluginHostRequest(handler) {}

    int getRequestType() const override { return HIDE_ALL_GUIS; }
    void accept(PluginHostRequestVisitor& visitor) override { visitor.visit(*this); }
};

class ActivateAppGUIRequest : public PluginHostRequest {
public:
    explicit ActivateAppGUIRequest(PluginHostProxyHandler* handler) : PluginHostRequest(handler) {}

    int getRequestType() const override { return ACTIVATE_APP_GUI; }
    void accept(PluginHostRequestVisitor& visitor) override { visitor.visit(*this); }
};

class DeactivateAppGUIRequest : public PluginHostRequest {
public:
    explicit DeactivateAppGUIRequest(PluginHostProxyHandler* handler) : PluginHostRequest(handler) {}

    int getRequestType() const override { return DEACTIVATE_APP_GUI; }
    void accept(PluginHostRequestVisitor& visitor) override { visitor.visit(*this); }
};

class ShutdownRequest : public PluginHostRequest {
public:
    explicit ShutdownRequest(PluginHostProxyHandler* handler) : PluginHostRequest(handler) {}

    int getRequestType() const override { return SHUTDOWN; }
    void accept(PluginHostRequestVisitor& visitor) override { visitor.visit(*this); }
};

// The one synchronous request: its answer, a void reply, comes back on the main channel.
class PingRequest : public PluginHostRequest {
public:
    explicit PingRequest(PluginHostProxyHandler* handler) : PluginHostRequest(handler) {}

    int getRequestType() const override { return PING; }
    void accept(PluginHostRequestVisitor& visitor) override { visitor.visit(*this); }
    bool hasReply() const override { return true; }
    bool isAsync() const override { return false; }
};

class SetWindowTitleRequest : public PluginInstanceRequest {
public:
    explicit SetWindowTitleRequest(PluginHostProxyHandler* handler, int32_t instanceId = UNREAD_INSTANCE_ID,
                                   const base::core::String& title = {})
        : PluginInstanceRequest(handler, instanceId), title(title) {}

    int getRequestType() const override { return SET_WINDOW_TITLE; }
    void accept(PluginHostRequestVisitor& visitor) override { visitor.visit(*this); }
    void doRead(base::core::InputStream* in) override;
    void doWrite(base::core::OutputStream* out) const override;

    const base::core::String& getTitle() const { return title; }

private:
    base::core::String title;
};

// Only records where the window goes; the window uses it when it is next opened or shown.
class SetWindowPositionRequest : public PluginInstanceRequest {
public:
    explicit SetWindowPositionRequest(PluginHostProxyHandler* handler,
                                      int32_t instanceId = UNREAD_INSTANCE_ID, int32_t x = 0, int32_t y = 0,
                                      int32_t width = 0, int32_t height = 0)
        : PluginInstanceRequest(handler, instanceId), x(x), y(y), width(width), height(height) {}

    int getRequestType() const override { return SET_WINDOW_POSITION; }
    void accept(PluginHostRequestVisitor& visitor) override { visitor.visit(*this); }
    void doRead(base::core::InputStream* in) override;
    void doWrite(base::core::OutputStream* out) const override;

    int32_t getX() const { return x; }
    int32_t getY() const { return y; }
    int32_t getWidth() const { return width; }
    int32_t getHeight() const { return height; }

private:
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

// Frames a request on the client's side of the main channel: type byte, request id when the request
// is asynchronous with a reply, body, flush.
void writeRequest(base::core::OutputStream* out, PluginHostRequest& request);

// A request of the given type with an unread body; an unknown type throws IOException.
base::core::SmartPtr<PluginHostRequest> makeRequest(int type, PluginHostProxyHandler* handler);

// Reads one framed request for `handler`. An unknown type throws IOException.
base::core::SmartPtr<PluginHostRequest> readRequest(base::core::InputStream* in,
                                                    PluginHostProxyHandler* handler);

} // namespace plugin
