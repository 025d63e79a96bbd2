#pragma once

#include "plugin/PluginWindow.h"

#include <bitset>
#include <cstdint>
#include <memory>

union _XEvent;

namespace plugin {

class X11Display;

// An editor window on X11: one top-level utility window, kept above the others, whose client area is
// the container the plug-in embeds its editor into. Its events play the roles of the move, resize,
// will-resize and close callbacks; keys that reach it are broadcast on the session bus. Main thread only.
class X11PluginWindow : public PluginWindow {
public:
    // The window, or null after writing why on the error stream (no display).
    static std::unique_ptr<X11PluginWindow> create(PluginHost* host, PluginInstance* instance,
                                                   int64_t parentWindowId, int width, int height,
                                                   bool resizable);
    ~X11PluginWindow() override;

    void activate() override;
    void hide() override;
    void show() override;
    void setTitle(const base::core::String& title) override;
    void resize(int width, int height) override;
    void move(int x, int y) override;
    bool afterPluginWindowAttached() override;

    unsigned long getWindowId() const { return window; }
    int64_t getParentWindowId() const { return parentWindowId; }

    // Called by the display for this window's events.
    void handleEvent(_XEvent& event);
    // The connection has gone first (host shutdown): nothing left to destroy.
    void displayClosed() { display = nullptr; }

private:
    X11PluginWindow(PluginHost* host, PluginInstance* instance, X11Display* display, int64_t parentWindowId,
                    int width, int height, bool resizable);

    void setSizeHints();
    void keepAbove();
    void configured(int width, int height);
    void reportMove(int x, int y);
    // Stores the position in the instance and tells the client, unless the instance is silent or hidden.
    void notifyMoved();
    void broadcastKey(_XEvent& event);

    X11Display* display;
    unsigned long window = 0;
    int64_t parentWindowId;
    bool resizable;
    // Where the window is and how big, as last set here or reported by the server; an event that only
    // repeats these is the echo of our own request, not a move by the user.
    int x = 0;
    int y = 0;
    int width;
    int height;
    // Pressed keys, so that a press without a release in between is known as a repeat.
    std::bitset<256> keysDown;
};

} // namespace plugin
