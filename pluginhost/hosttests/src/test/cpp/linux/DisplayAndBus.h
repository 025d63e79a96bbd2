#pragma once

// A private X server (Xvfb) and a private session bus (dbus-daemon) for tests, started by the tests
// themselves; DISPLAY and DBUS_SESSION_BUS_ADDRESS point at them while they run, so a host launched
// meanwhile inherits both.

#include <X11/Xlib.h>
#include <systemd/sd-bus.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace plugin::test {

// Polls `condition` until it holds or about two seconds have passed.
inline bool eventually(const std::function<bool()>& condition, double seconds = 2) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A child program that writes one line on the descriptor named in its arguments ("{fd}") when ready.
class ReadyProcess {
public:
    ReadyProcess(std::vector<std::string> arguments) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        for (auto& argument : arguments) {
            const size_t at = argument.find("{fd}");
            if (at != std::string::npos)
                argument.replace(at, 4, std::to_string(fds[1]));
        }
        pid = fork();
        if (pid == 0) {
            fcntl(fds[1], F_SETFD, 0); // the child keeps the write end
            const int devNull = open("/dev/null", O_RDWR);
            dup2(devNull, 1);
            dup2(devNull, 2);
            std::vector<char*> argv;
            for (auto& argument : arguments)
                argv.push_back(argument.data());
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        close(fds[1]);
        pollfd ready{fds[0], POLLIN, 0};
        char buffer[512];
        while (line.find('\n') == std::string::npos && poll(&ready, 1, 5000) > 0) {
            const ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            line.append(buffer, static_cast<size_t>(n));
        }
        close(fds[0]);
        if (line.find('\n') == std::string::npos)
            throw std::runtime_error(arguments[0] + " did not start");
        line.erase(line.find('\n'));
    }
    ~ReadyProcess() {
        kill(pid, SIGTERM);
        int status;
        waitpid(pid, &status, 0);
    }

    pid_t pid;
    std::string line;
};

// The host creates and destroys windows while a test looks at them: a window gone between listing and
// reading is not an error of the test.
inline int ignoreXErrors(Display*, XErrorEvent*) {
    return 0;
}

// -noreset: an X server resets when its last client leaves and refuses connections meanwhile.
struct DisplayAndBus {
    DisplayAndBus()
        : xvfb(
              {"Xvfb", "-displayfd", "{fd}", "-nolisten", "tcp", "-noreset", "-screen", "0", "1280x1024x24"}),
          bus({"dbus-daemon", "--session", "--nofork", "--print-address={fd}"}) {
        display = ":" + xvfb.line;
        XSetErrorHandler(ignoreXErrors);
        setenv("DISPLAY", display.c_str(), 1);
        setenv("DBUS_SESSION_BUS_ADDRESS", bus.line.c_str(), 1);
    }
    ~DisplayAndBus() {
        unsetenv("DISPLAY");
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }

    ReadyProcess xvfb;
    ReadyProcess bus;
    std::string display;
};

// The top-level windows of the display and their titles.
inline std::map<Window, std::string> topLevelWindows(Display* display) {
    std::map<Window, std::string> windows;
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    XSync(display, False);
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return windows;
    for (unsigned int i = 0; i < count; ++i) {
        char* name = nullptr;
        windows[children[i]] = XFetchName(display, children[i], &name) && name ? name : "";
        if (name)
            XFree(name);
    }
    if (children)
        XFree(children);
    return windows;
}

// Signals of one interface on the private bus, with their a{sv} argument as text.
class BusSignals {
public:
    explicit BusSignals(const char* interface) : interface(interface) {
        if (sd_bus_open_user(&bus) < 0)
            throw std::runtime_error("cannot reach the test bus");
        const std::string match = std::string("type='signal',interface='") + interface + "'";
        sd_bus_add_match(bus, nullptr, match.c_str(), nullptr, nullptr);
        sd_bus_flush(bus);
    }
    ~BusSignals() { sd_bus_flush_close_unref(bus); }

    struct Signal {
        std::string member;
        std::map<std::string, std::string> values;
    };

    // The next signal of the interface, within about two seconds.
    bool next(Signal& signal) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (std::chrono::steady_clock::now() < end) {
            sd_bus_message* message = nullptr;
            const int result = sd_bus_process(bus, &message);
            if (result < 0)
                return false;
            if (message && sd_bus_message_is_signal(message, interface.c_str(), nullptr) > 0) {
                signal.member = sd_bus_message_get_member(message);
                signal.values = readDictionary(message);
                sd_bus_message_unref(message);
                return true;
            }
            sd_bus_message_unref(message);
            if (result == 0)
                sd_bus_wait(bus, 100000);
        }
        return false;
    }

private:
    static std::map<std::string, std::string> readDictionary(sd_bus_message* message) {
        std::map<std::string, std::string> values;
        if (sd_bus_message_enter_container(message, 'a', "{sv}") <= 0)
            return values;
        while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
            const char* key = nullptr;
            sd_bus_message_read_basic(message, 's', &key);
            const std::string name = key;
            char type = 0;
            const char* contents = nullptr;
            sd_bus_message_peek_type(message, &type, &contents);
            sd_bus_message_enter_container(message, 'v', contents);
            union {
                int64_t x;
                double d;
                const char* s;
                uint16_t q;
                int b;
            } value{};
            sd_bus_message_read_basic(message, contents[0], &value);
            std::string text = std::string(contents) + ":";
            switch (contents[0]) {
            case 's':
                text += value.s;
                break;
            case 'd':
                text += std::to_string(value.d);
                break;
            case 'x':
                text += std::to_string(value.x);
                break;
            case 'q':
                text += std::to_string(value.q);
                break;
            case 'b':
                text += std::to_string(value.b);
                break;
            }
            sd_bus_message_exit_container(message);
            sd_bus_message_exit_container(message);
            values[name] = text;
        }
        return values;
    }

    std::string interface;
    sd_bus* bus = nullptr;
};

} // namespace plugin::test
