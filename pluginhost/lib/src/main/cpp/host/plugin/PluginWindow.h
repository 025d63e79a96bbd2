#pragma once

#include "base/core/String.h"

namespace plugin {

class PluginHost;
class PluginInstance;

// An editor window owned by the host. Destroying it tells the client the window has closed.
class PluginWindow {
public:
    PluginWindow(PluginHost* host, PluginInstance* instance);
    PluginWindow(const PluginWindow&) = delete;
    PluginWindow& operator=(const PluginWindow&) = delete;
    virtual ~PluginWindow();

    virtual void activate() = 0;
    virtual void hide() = 0;
    virtual void show() = 0;
    virtual void setTitle(const base::core::String& title) = 0;
    virtual void resize(int width, int height) = 0;
    virtual void move(int x, int y) = 0;
    virtual double getContentScalingFactor() { return 1.0; }
    // The native view the editor is placed into (an X11 Window id on Linux).
    virtual void* getPluginViewContainer() const { return pluginViewContainer; }
    // Called once the plug-in has placed its editor into the container; false when the window cannot
    // take it (the caller then discards the window).
    virtual bool afterPluginWindowAttached() = 0;

    PluginInstance* getInstance() const { return instance; }

protected:
    PluginHost* host;
    PluginInstance* instance;
    void* pluginViewContainer = nullptr;
};

} // namespace plugin
