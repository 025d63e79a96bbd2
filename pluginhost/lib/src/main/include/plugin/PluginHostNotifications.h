#pragma once

#include "base/core/SmartPtr.h"
#include "base/core/String.h"
#include "plugin/PluginHostAction.h"
#include "plugin/PluginHostNotificationListener.h"
#include "plugin/PluginHostProxyHandler.h"
#include "plugin/PluginInstanceState.h"

#include <cstdint>

namespace base::core {
class InputStream;
class OutputStream;
} // namespace base::core

namespace plugin {

class PluginInstance;

// Both sides: a message the host sends unasked on the async channel. Made and run (that is, sent through its
// handler's message runner) on the main thread; what plug-ins raise on other threads reaches the main thread
// through the host's PluginHostNotificationQueue. The client reads it on its async reply thread.
class PluginHostNotification : public PluginHostAction {
public:
    enum NotificationType {
        UPDATE_PARAMETER = 0,
        UPDATE_PARAMETER_DISPLAY = 1,
        UPDATE_ALL_PARAMETERS = 2,
        BEGIN_OR_END_EDIT_PARAMETER = 3,
        PLUGIN_WINDOW_CLOSED = 4,
        PLUGIN_WINDOW_MOVED = 5,
    };
    static constexpr int MAX_NOTIFICATION_TYPE = PLUGIN_WINDOW_MOVED;

    // Host side: speaks of `instance`, which is not held. Defined in the host library, which alone knows
    // instances.
    PluginHostNotification(PluginHostProxyHandler* handler, PluginInstance* instance);

    // Host side, main thread: hands the notification to its handler's message runner.
    void run() override;
    virtual int getNotificationType() const = 0;
    // The type byte, the instance id and the fields of the kind.
    virtual void write(base::core::OutputStream* out) const;
    virtual void notify(PluginHostNotificationListener* listener) = 0;

    int32_t getInstanceId() const { return instanceId; }
    PluginHostProxyHandler* getHandler() const { return handler.get(); }
    // Host side only; null on the client.
    PluginInstance* getInstance() const { return instance; }

protected:
    // Client side: the instance id and the fields come from `in` in read().
    explicit PluginHostNotification(PluginHostProxyHandler* handler);

    virtual void writeFields(base::core::OutputStream* out) const {}
    virtual void readFields(base::core::InputStream* in) {}

private:
    friend base::core::SmartPtr<PluginHostNotification> readPluginHostNotification(PluginHostProxyHandler*,
                                                                                   base::core::InputStream*);

    int32_t instanceId = 0;
    base::core::SmartPtr<PluginHostProxyHandler> handler;
    PluginInstance* instance = nullptr;
};

// The plug-in changed the normalized value of a parameter.
class UpdateParameterNotification : public PluginHostNotification {
public:
    UpdateParameterNotification(PluginHostProxyHandler* handler, PluginInstance* instance, int32_t index,
                                float value)
        : PluginHostNotification(handler, instance), index(index), value(value) {}
    explicit UpdateParameterNotification(PluginHostProxyHandler* handler) : PluginHostNotification(handler) {}

    int getNotificationType() const override { return UPDATE_PARAMETER; }
    void notify(PluginHostNotificationListener* listener) override { listener->onUpdateParameter(this); }

    int32_t getIndex() const { return index; }
    float getValue() const { return value; }

protected:
    void writeFields(base::core::OutputStream* out) const override;
    void readFields(base::core::InputStream* in) override;

private:
    int32_t index = 0;
    float value = 0.0f;
};

// The text of a parameter (its name or its displayed value) changed.
class UpdateParameterDisplayNotification : public PluginHostNotification {
public:
    UpdateParameterDisplayNotification(PluginHostProxyHandler* handler, PluginInstance* instance,
                                       int32_t index, const base::core::String& name,
                                       const base::core::String& display)
        : PluginHostNotification(handler, instance), index(index), name(name), display(display) {}
    explicit UpdateParameterDisplayNotification(PluginHostProxyHandler* handler)
        : PluginHostNotification(handler) {}

    int getNotificationType() const override { return UPDATE_PARAMETER_DISPLAY; }
    void notify(PluginHostNotificationListener* listener) override {
        listener->onUpdateParameterDisplay(this);
    }

    int32_t getIndex() const { return index; }
    const base::core::String& getName() const { return name; }
    const base::core::String& getDisplay() const { return display; }

protected:
    void writeFields(base::core::OutputStream* out) const override;
    void readFields(base::core::InputStream* in) override;

private:
    int32_t index = 0;
    base::core::String name;
    base::core::String display;
};

// The plug-in changed all its parameters; carries a full description of the instance.
class UpdateAllParametersNotification : public PluginHostNotification {
public:
    UpdateAllParametersNotification(PluginHostProxyHandler* handler, PluginInstance* instance)
        : PluginHostNotification(handler, instance) {}
    explicit UpdateAllParametersNotification(PluginHostProxyHandler* handler)
        : PluginHostNotification(handler) {}

    int getNotificationType() const override { return UPDATE_ALL_PARAMETERS; }
    void notify(PluginHostNotificationListener* listener) override { listener->onUpdateAllParameters(this); }

    PluginInstanceState* getState() const { return state.get(); }
    // Host side: the state is taken when the main thread sends the notification, not when the change
    // was seen.
    void setState(PluginInstanceState* value) { state = value; }

protected:
    void writeFields(base::core::OutputStream* out) const override;
    void readFields(base::core::InputStream* in) override;

private:
    base::core::SmartPtr<PluginInstanceState> state;
};

// The user began (begin true) or ended an edit of a parameter in the plug-in's editor.
class BeginOrEndEditParameterNotification : public PluginHostNotification {
public:
    BeginOrEndEditParameterNotification(PluginHostProxyHandler* handler, PluginInstance* instance,
                                        int32_t index, bool begin)
        : PluginHostNotification(handler, instance), index(index), begin(begin) {}
    explicit BeginOrEndEditParameterNotification(PluginHostProxyHandler* handler)
        : PluginHostNotification(handler) {}

    int getNotificationType() const override { return BEGIN_OR_END_EDIT_PARAMETER; }
    void notify(PluginHostNotificationListener* listener) override {
        listener->onBeginOrEndEditParameter(this);
    }

    int32_t getIndex() const { return index; }
    bool isBegin() const { return begin; }

protected:
    void writeFields(base::core::OutputStream* out) const override;
    void readFields(base::core::InputStream* in) override;

private:
    int32_t index = 0;
    bool begin = false;
};

class PluginWindowClosedNotification : public PluginHostNotification {
public:
    PluginWindowClosedNotification(PluginHostProxyHandler* handler, PluginInstance* instance)
        : PluginHostNotification(handler, instance) {}
    explicit PluginWindowClosedNotification(PluginHostProxyHandler* handler)
        : PluginHostNotification(handler) {}

    int getNotificationType() const override { return PLUGIN_WINDOW_CLOSED; }
    void notify(PluginHostNotificationListener* listener) override { listener->onPluginWindowClosed(this); }
};

// The editor window moved or changed size; coordinates are the client's window coordinates.
class PluginWindowMovedNotification : public PluginHostNotification {
public:
    PluginWindowMovedNotification(PluginHostProxyHandler* handler, PluginInstance* instance, int32_t x,
                                  int32_t y, int32_t width, int32_t height)
        : PluginHostNotification(handler, instance), x(x), y(y), width(width), height(height) {}
    explicit PluginWindowMovedNotification(PluginHostProxyHandler* handler)
        : PluginHostNotification(handler) {}

    int getNotificationType() const override { return PLUGIN_WINDOW_MOVED; }
    void notify(PluginHostNotificationListener* listener) override { listener->onPluginWindowMoved(this); }

    int32_t getX() const { return x; }
    int32_t getY() const { return y; }
    int32_t getWidth() const { return width; }
    int32_t getHeight() const { return height; }

protected:
    void writeFields(base::core::OutputStream* out) const override;
    void readFields(base::core::InputStream* in) override;

private:
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// Client side: reads the notification that follows the leading 0 on the async channel. Returns null
// when the type is unknown and the resulting assertion is ignored.
base::core::SmartPtr<PluginHostNotification> readPluginHostNotification(PluginHostProxyHandler* handler,
                                                                        base::core::InputStream* in);

} // namespace plugin
