#include "linux/X11Display.h"

#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "linux/DBusKeyBroadcaster.h"
#include "linux/X11PluginWindow.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <cstdlib>

namespace plugin {

using base::core::String;
using base::core::StringBuilder;

namespace {

int reportError(Display* display, XErrorEvent* event) {
    char text[256] = {};
    XGetErrorText(display, event->error_code, text, sizeof text);
    base::core::getError()->writeLine(StringBuilder() + "X error ignored: " + text + " (request " +
                                      static_cast<int>(event->request_code) + "." +
                                      static_cast<int>(event->minor_code) + ", resource " +
                                      static_cast<long long>(event->resourceid) + ")");
    return 0;
}

} // namespace

void X11Display::installErrorHandler() {
    // Plug-ins may drive X from their own threads; the locks must exist before the first Xlib call.
    XInitThreads();
    XSetErrorHandler(reportError);
}

std::unique_ptr<X11Display> X11Display::open(String& error) {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == 0) {
        error = "DISPLAY is not set";
        return nullptr;
    }
    Display* display = XOpenDisplay(name);
    if (display == nullptr) {
        error = StringBuilder() + "cannot connect to X display \"" + name + "\"";
        return nullptr;
    }
    // A held key then repeats its presses without releases in between, so repeats can be told apart.
    XkbSetDetectableAutoRepeat(display, True, nullptr);
    return std::unique_ptr<X11Display>(new X11Display(display));
}

void X11Display::Closer::operator()(_XDisplay* display) const {
    XCloseDisplay(display);
}

X11Display::X11Display(_XDisplay* display) : display(display) {}

X11Display::~X11Display() {
    for (auto& [id, window] : windows)
        window->displayClosed();
}

int X11Display::getFileDescriptor() const {
    return ConnectionNumber(display.get());
}

void X11Display::dispatchEvents() {
    Display* d = display.get();
    while (XPending(d) > 0) {
        XEvent event;
        XNextEvent(d, &event);
        auto found = windows.find(event.xany.window);
        if (found != windows.end())
            found->second->handleEvent(event);
    }
    XFlush(d);
}

unsigned long X11Display::atom(const char* name) {
    auto found = atoms.find(name);
    if (found != atoms.end())
        return found->second;
    const Atom value = XInternAtom(display.get(), name, False);
    atoms.emplace(name, value);
    return value;
}

void X11Display::addWindow(unsigned long id, X11PluginWindow* window) {
    windows[id] = window;
}

void X11Display::removeWindow(unsigned long id) {
    windows.erase(id);
}

DBusKeyBroadcaster& X11Display::getKeyBroadcaster() {
    if (!keyBroadcaster)
        keyBroadcaster.reset(new DBusKeyBroadcaster());
    return *keyBroadcaster;
}

} // namespace plugin
