#include "linux/X11PluginWindow.h"

#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "linux/DBusKeyBroadcaster.h"
#include "linux/MainLoop.h"
#include "linux/PluginWindowClosedAction.h"
#include "linux/X11Display.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginHostNotifications.h"
#include "plugin/PluginHostProxyHandler.h"
#include "plugin/PluginInstance.h"
#include "plugin/PluginSize.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <string>

namespace plugin {

using base::core::SmartPtr;
using base::core::String;
using base::core::StringBuilder;

namespace {

// The client reads the modifier and mouse-button bits with their Cocoa meanings.
constexpr int64_t MODIFIER_CAPS_LOCK = 1 << 16;
constexpr int64_t MODIFIER_SHIFT = 1 << 17;
constexpr int64_t MODIFIER_CONTROL = 1 << 18;
constexpr int64_t MODIFIER_OPTION = 1 << 19;
constexpr int64_t MODIFIER_COMMAND = 1 << 20;

int64_t modifierFlags(unsigned int state) {
    int64_t flags = 0;
    flags |= (state & LockMask) ? MODIFIER_CAPS_LOCK : 0;
    flags |= (state & ShiftMask) ? MODIFIER_SHIFT : 0;
    flags |= (state & ControlMask) ? MODIFIER_CONTROL : 0;
    flags |= (state & Mod1Mask) ? MODIFIER_OPTION : 0;  // Alt
    flags |= (state & Mod4Mask) ? MODIFIER_COMMAND : 0; // Super
    return flags;
}

int64_t pressedMouseButtons(unsigned int state) {
    int64_t buttons = 0;
    buttons |= (state & Button1Mask) ? 1 : 0; // left
    buttons |= (state & Button3Mask) ? 2 : 0; // right
    buttons |= (state & Button2Mask) ? 4 : 0; // middle
    return buttons;
}

// The key's text: XLookupString answers Latin-1, the bus carries UTF-8.
std::string keyText(XKeyEvent key) {
    char text[32];
    KeySym keysym;
    const int length = XLookupString(&key, text, sizeof text, &keysym, nullptr);
    std::string utf8;
    for (int i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            utf8 += static_cast<char>(byte);
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

} // namespace

std::unique_ptr<X11PluginWindow> X11PluginWindow::create(PluginHost* host, PluginInstance* instance,
                                                         int64_t parentWindowId, int width, int height,
                                                         bool resizable) {
    String error;
    X11Display* display = host->getMainLoop().getX11Display(error);
    if (display == nullptr) {
        base::core::getError()->writeLine(StringBuilder() + "Could not open the editor window: " + error);
        return nullptr;
    }
    return std::unique_ptr<X11PluginWindow>(
        new X11PluginWindow(host, instance, display, parentWindowId, width, height, resizable));
}

X11PluginWindow::X11PluginWindow(PluginHost* host, PluginInstance* instance, X11Display* display,
                                 int64_t parentWindowId, int width, int height, bool resizable)
    : PluginWindow(host, instance), display(display), parentWindowId(parentWindowId), resizable(resizable),
      width(std::max(width, 1)), height(std::max(height, 1)) {
    Display* d = display->get();
    XSetWindowAttributes attributes{};
    attributes.event_mask = StructureNotifyMask | KeyPressMask | KeyReleaseMask | FocusChangeMask;
    attributes.background_pixel = BlackPixel(d, DefaultScreen(d));
    window = XCreateWindow(d, DefaultRootWindow(d), 0, 0, this->width, this->height, 0, CopyFromParent,
                           InputOutput, CopyFromParent, CWEventMask | CWBackPixel, &attributes);
    pluginViewContainer = reinterpret_cast<void*>(window);
    display->addWindow(window, this);

    Atom deleteWindow = display->atom("WM_DELETE_WINDOW");
    XSetWMProtocols(d, window, &deleteWindow, 1);
    const Atom utility = display->atom("_NET_WM_WINDOW_TYPE_UTILITY");
    XChangeProperty(d, window, display->atom("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&utility), 1);
    // The state a window manager starts the window in; keepAbove() renews it once the window is managed.
    const Atom above = display->atom("_NET_WM_STATE_ABOVE");
    XChangeProperty(d, window, display->atom("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&above), 1);
    setSizeHints();
    // The plug-in embeds into the window through a connection of its own: the server must know the
    // window before the plug-in is given its id.
    XSync(d, False);
}

X11PluginWindow::~X11PluginWindow() {
    if (display == nullptr)
        return;
    display->removeWindow(window);
    XDestroyWindow(display->get(), window);
    XFlush(display->get());
}

void X11PluginWindow::setSizeHints() {
    XSizeHints* hints = XAllocSizeHints();
    // Static gravity: a position names the client area's corner, not the frame a window manager adds.
    hints->flags = PWinGravity | USPosition;
    hints->win_gravity = StaticGravity;
    if (!resizable) {
        hints->flags |= PMinSize | PMaxSize;
        hints->min_width = hints->max_width = width;
        hints->min_height = hints->max_height = height;
    }
    XSetWMNormalHints(display->get(), window, hints);
    XFree(hints);
}

void X11PluginWindow::keepAbove() {
    Display* d = display->get();
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = display->atom("_NET_WM_STATE");
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1; // add
    event.xclient.data.l[1] = static_cast<long>(display->atom("_NET_WM_STATE_ABOVE"));
    event.xclient.data.l[3] = 1; // from an application
    XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XRaiseWindow(d, window);
}

void X11PluginWindow::activate() {
    if (display == nullptr)
        return;
    Display* d = display->get();
    keepAbove();
    XWindowAttributes attributes;
    // Focus can only go to a viewable window; a hidden editor is raised but not focused.
    if (XGetWindowAttributes(d, window, &attributes) && attributes.map_state == IsViewable)
        XSetInputFocus(d, window, RevertToParent, CurrentTime);
}

void X11PluginWindow::hide() {
    if (display != nullptr)
        XWithdrawWindow(display->get(), window, DefaultScreen(display->get()));
}

void X11PluginWindow::show() {
    if (display != nullptr)
        XMapRaised(display->get(), window);
}

void X11PluginWindow::setTitle(const String& title) {
    if (display == nullptr)
        return;
    const std::string utf8 = title.getStdString();
    Display* d = display->get();
    XChangeProperty(d, window, display->atom("_NET_WM_NAME"), display->atom("UTF8_STRING"), 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(utf8.data()),
                    static_cast<int>(utf8.size()));
    // WM_NAME too, for window managers and tools that read only the ICCCM name.
    Xutf8SetWMProperties(d, window, utf8.c_str(), utf8.c_str(), nullptr, 0, nullptr, nullptr, nullptr);
}

void X11PluginWindow::resize(int newWidth, int newHeight) {
    newWidth = std::max(newWidth, 1);
    newHeight = std::max(newHeight, 1);
    if (display == nullptr || (newWidth == width && newHeight == height))
        return;
    width = newWidth;
    height = newHeight;
    if (!resizable)
        setSizeHints();
    // X keeps the top-left corner where it is, so the top edge stays.
    XResizeWindow(display->get(), window, width, height);
}

void X11PluginWindow::move(int newX, int newY) {
    if (display == nullptr || (newX == x && newY == y))
        return;
    x = newX;
    y = newY;
    XMoveWindow(display->get(), window, x, y);
}

bool X11PluginWindow::afterPluginWindowAttached() {
    if (display == nullptr)
        return false;
    Display* d = display->get();
    const Screen* screen = DefaultScreenOfDisplay(d);
    move((WidthOfScreen(screen) - width) / 2, (HeightOfScreen(screen) - height) / 2);
    notifyMoved();
    return true;
}

void X11PluginWindow::reportMove(int newX, int newY) {
    if (newX == x && newY == y)
        return;
    x = newX;
    y = newY;
    notifyMoved();
}

void X11PluginWindow::notifyMoved() {
    if (instance->areWindowNotificationsSuppressed() || instance->isHidden())
        return;
    instance->setWindowRect(x, y, instance->getWindowWidth(), instance->getWindowHeight());
    if (PluginHostProxyHandler* handler = host->getProxyHandler()) {
        SmartPtr<PluginWindowMovedNotification> moved(new PluginWindowMovedNotification(
            handler, instance, x, y, instance->getWindowWidth(), instance->getWindowHeight()));
        handler->sendNotification(moved.get());
    }
}

void X11PluginWindow::configured(int newWidth, int newHeight) {
    if (newWidth == width && newHeight == height)
        return;
    // The will-resize role: the plug-in may refuse the size, and the window snaps to what it accepts. A
    // window that cannot be resized keeps its size.
    PluginSize size{newWidth, newHeight};
    if (resizable)
        instance->validateViewSize(&size);
    else
        size = PluginSize{width, height};
    if (size.width != newWidth || size.height != newHeight)
        XResizeWindow(display->get(), window, std::max(size.width, 1), std::max(size.height, 1));
    if (size.width == width && size.height == height)
        return;
    width = size.width;
    height = size.height;
    instance->onSize(x, y, width, height);
}

void X11PluginWindow::broadcastKey(XEvent& event) {
    XKeyEvent& key = event.xkey;
    KeyEventDescription description;
    description.windowId = parentWindowId;
    description.modifierFlags = modifierFlags(key.state);
    description.pressedMouseButtons = pressedMouseButtons(key.state);
    unsigned int delay = 0;
    unsigned int interval = 0;
    if (XkbGetAutoRepeatRate(display->get(), XkbUseCoreKbd, &delay, &interval)) {
        description.keyRepeatDelay = delay / 1000.0;
        description.keyRepeatInterval = interval / 1000.0;
    }
    description.characters = keyText(key);
    XKeyEvent unmodified = key;
    // Like Cocoa's characters ignoring modifiers, Shift and Caps Lock still count.
    unmodified.state &= ShiftMask | LockMask;
    description.charactersIgnoringModifiers = keyText(unmodified);
    const bool down = event.type == KeyPress;
    const unsigned int code = key.keycode & 0xFF;
    description.isARepeat = down && keysDown.test(code);
    keysDown.set(code, down);
    description.keyCode = static_cast<uint16_t>(key.keycode);
    display->getKeyBroadcaster().broadcast(down, description);
}

void X11PluginWindow::handleEvent(XEvent& event) {
    Display* d = display->get();
    switch (event.type) {
    case ClientMessage:
        if (event.xclient.message_type == display->atom("WM_PROTOCOLS") &&
            static_cast<Atom>(event.xclient.data.l[0]) == display->atom("WM_DELETE_WINDOW")) {
            // Closing destroys this object: it happens in a later turn of the loop, not inside the
            // event dispatch.
            host->getMainLoop().post(SmartPtr<PluginHostAction>(new PluginWindowClosedAction(host, window)));
        }
        break;
    case ConfigureNotify: {
        if (event.xconfigure.window != window)
            break;
        configured(event.xconfigure.width, event.xconfigure.height);
        int rootX = event.xconfigure.x;
        int rootY = event.xconfigure.y;
        // Real events are relative to the parent, which is a frame under a window manager; only
        // synthetic ones carry root coordinates.
        Window child;
        if (!event.xconfigure.send_event)
            XTranslateCoordinates(d, window, DefaultRootWindow(d), 0, 0, &rootX, &rootY, &child);
        reportMove(rootX, rootY);
        break;
    }
    case FocusIn:
        keepAbove();
        break;
    case KeyPress:
    case KeyRelease:
        broadcastKey(event);
        break;
    default:
        break;
    }
}

} // namespace plugin
