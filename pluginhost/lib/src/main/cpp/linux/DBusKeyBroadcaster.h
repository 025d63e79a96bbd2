#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct sd_bus;

namespace plugin {

// One key press or release in an editor window, as the client receives it.
struct KeyEventDescription {
    int64_t windowId = 0;
    int64_t modifierFlags = 0;
    int64_t pressedMouseButtons = 0;
    double keyRepeatDelay = 0;
    double keyRepeatInterval = 0;
    std::string characters;
    std::string charactersIgnoringModifiers;
    bool isARepeat = false;
    uint16_t keyCode = 0;
};

// Broadcasts editor keys on the session bus as the signals "ZelvarPluginWindowKeyDown" and
// "ZelvarPluginWindowKeyUp" of the interface "com.zelvar.PluginHost". Without a session bus nothing is
// sent and nothing fails; the first failure is reported once on the error stream. Main thread only.
class DBusKeyBroadcaster {
public:
    static constexpr const char* OBJECT_PATH = "/com/zelvar/PluginHost";
    static constexpr const char* INTERFACE = "com.zelvar.PluginHost";

    DBusKeyBroadcaster();
    DBusKeyBroadcaster(const DBusKeyBroadcaster&) = delete;
    DBusKeyBroadcaster& operator=(const DBusKeyBroadcaster&) = delete;
    ~DBusKeyBroadcaster();

    void broadcast(bool keyDown, const KeyEventDescription& key);

private:
    struct Closer {
        void operator()(sd_bus* bus) const;
    };

    bool connect();
    void reportOnce(const char* what, int error);

    std::unique_ptr<sd_bus, Closer> bus;
    bool reported = false;
};

} // namespace plugin
