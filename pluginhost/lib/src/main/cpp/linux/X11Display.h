#pragma once

#include "base/core/String.h"

#include <functional>
#include <map>
#include <memory>

// Xlib's types stay out of this header so that code outside linux/ can include it.
struct _XDisplay;
union _XEvent;

namespace plugin {

class DBusKeyBroadcaster;
class MainLoop;
class X11PluginWindow;

// The host's one connection to the X server, opened by the main loop when the first editor needs it.
// It hands each event to the editor window it belongs to. Main thread only.
class X11Display {
public:
    // Installs the process-wide handler that reports X errors instead of ending the process. Called before
    // any plug-in can touch X: plug-in toolkits cause X errors, and Xlib's default handler would take down
    // every instance in the host.
    static void installErrorHandler();
    // The connection named by DISPLAY, or null with the reason in `error`.
    static std::unique_ptr<X11Display> open(base::core::String& error);

    X11Display(const X11Display&) = delete;
    X11Display& operator=(const X11Display&) = delete;
    ~X11Display();

    _XDisplay* get() const { return display.get(); }
    int getFileDescriptor() const;
    // Sends what Xlib has buffered and handles every event that has arrived, read or queued. The main loop
    // calls it before each wait, so no event sits in Xlib's queue while it sleeps.
    void dispatchEvents();
    // An atom by name, created when missing.
    unsigned long atom(const char* name);

    void addWindow(unsigned long id, X11PluginWindow* window);
    void removeWindow(unsigned long id);
    // The session-bus sender for key signals, made on first use.
    DBusKeyBroadcaster& getKeyBroadcaster();

private:
    struct Closer {
        void operator()(_XDisplay* display) const;
    };
    explicit X11Display(_XDisplay* display);

    std::unique_ptr<_XDisplay, Closer> display;
    std::map<unsigned long, X11PluginWindow*> windows;
    std::map<std::string, unsigned long> atoms;
    std::unique_ptr<DBusKeyBroadcaster> keyBroadcaster;
};

} // namespace plugin
