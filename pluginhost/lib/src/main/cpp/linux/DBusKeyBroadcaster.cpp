#include "linux/DBusKeyBroadcaster.h"

#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"

#include <systemd/sd-bus.h>

#include <cstring>

namespace plugin {

using base::core::StringBuilder;

namespace {

struct MessageUnref {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;

// One "{sv}" entry of the description; `value` points at the value, or is the text for 's'. A negative
// result is the first failing call's error.
int appendEntry(sd_bus_message* message, const char* key, char type, const void* value) {
    const char contents[2] = {type, 0};
    int result = sd_bus_message_open_container(message, 'e', "sv");
    if (result >= 0)
        result = sd_bus_message_append_basic(message, 's', key);
    if (result >= 0)
        result = sd_bus_message_open_container(message, 'v', contents);
    if (result >= 0)
        result = sd_bus_message_append_basic(message, type, value);
    if (result >= 0)
        result = sd_bus_message_close_container(message);
    if (result >= 0)
        result = sd_bus_message_close_container(message);
    return result;
}

} // namespace

DBusKeyBroadcaster::DBusKeyBroadcaster() = default;

DBusKeyBroadcaster::~DBusKeyBroadcaster() = default;

void DBusKeyBroadcaster::Closer::operator()(sd_bus* bus) const {
    sd_bus_flush_close_unref(bus);
}

void DBusKeyBroadcaster::reportOnce(const char* what, int error) {
    if (reported)
        return;
    reported = true;
    base::core::getError()->writeLine(StringBuilder() + "Key signals are not sent: " + what + ": " +
                                      std::strerror(-error));
}

bool DBusKeyBroadcaster::connect() {
    if (bus)
        return true;
    sd_bus* opened = nullptr;
    // Honours DBUS_SESSION_BUS_ADDRESS, else the user's bus in XDG_RUNTIME_DIR.
    const int result = sd_bus_open_user(&opened);
    if (result < 0) {
        reportOnce("no session bus", result);
        return false;
    }
    bus.reset(opened);
    return true;
}

void DBusKeyBroadcaster::broadcast(bool keyDown, const KeyEventDescription& key) {
    if (!connect())
        return;
    sd_bus_message* created = nullptr;
    int result = sd_bus_message_new_signal(bus.get(), &created, OBJECT_PATH, INTERFACE,
                                           keyDown ? "ZelvarPluginWindowKeyDown" : "ZelvarPluginWindowKeyUp");
    Message message(created);
    if (result >= 0)
        result = sd_bus_message_open_container(created, 'a', "{sv}");
    auto add = [&](const char* name, char type, const void* value) {
        if (result >= 0)
            result = appendEntry(created, name, type, value);
    };
    const int isARepeat = key.isARepeat; // D-Bus booleans are 32 bits wide
    add("windowId", 'x', &key.windowId);
    add("modifierFlags", 'x', &key.modifierFlags);
    add("pressedMouseButtons", 'x', &key.pressedMouseButtons);
    add("keyRepeatDelay", 'd', &key.keyRepeatDelay);
    add("keyRepeatInterval", 'd', &key.keyRepeatInterval);
    add("characters", 's', key.characters.c_str());
    add("charactersIgnoringModifiers", 's', key.charactersIgnoringModifiers.c_str());
    add("isARepeat", 'b', &isARepeat);
    add("keyCode", 'q', &key.keyCode);
    if (result >= 0)
        result = sd_bus_message_close_container(created);
    if (result >= 0)
        result = sd_bus_send(bus.get(), created, nullptr);
    // Delivered now, as the client expects; what the bus sends us (name grants) is read and dropped so
    // that it does not pile up.
    if (result >= 0)
        result = sd_bus_flush(bus.get());
    while (result >= 0 && (result = sd_bus_process(bus.get(), nullptr)) > 0) {
    }
    if (result < 0) {
        reportOnce("the session bus failed", result);
        // A broken connection is dropped; the next key tries a new one.
        bus.reset();
    }
}

} // namespace plugin
