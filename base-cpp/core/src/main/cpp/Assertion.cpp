#include "base/core/Assertion.h"

#include "base/core/AssertionFailedException.h"
#include "base/core/DebugMessageDialog.h"
#include "base/core/LockGuard.h"
#include "base/core/Mutex.h"
#include "base/core/OutputStream.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace base::core {

namespace {

Mutex& modeMutex() {
    static Mutex mutex;
    return mutex;
}

std::deque<int>& modeStack() {
    static std::deque<int> stack;
    return stack;
}

// 0 while nobody has pushed a mode; the top entry otherwise (-1 for "decide by environment").
int topMode(bool& stackEmpty) {
    LockGuard guard(modeMutex());
    stackEmpty = modeStack().empty();
    return stackEmpty ? -1 : modeStack().back();
}

std::atomic<InteractiveAssertionHandler> interactiveHandler{nullptr};

// Asked once: a tracer attached at start-up counts as an attached debugger.
bool tracedAtStartUp() {
    static const bool traced = [] {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("TracerPid:", 0) == 0)
                return std::atoi(line.c_str() + 10) != 0;
        }
        return false;
    }();
    return traced;
}

std::atomic<bool> didAttachDebugger{false};

enum AssertionChoice { Skip, SkipAlways, Throw, Abort, Break };

// Stops in the debugger when one is attached; SIGTRAP is what a debugger takes as a breakpoint.
void breakIntoDebugger() {
    launchDebuggerIfNeeded();
    if (isDebuggerAttached())
        raise(SIGTRAP);
}

// Asks the developer what to do; false when nobody can be asked, so that the assertion fails as a
// non-interactive one does instead of waiting for an answer that never comes.
bool askAboutAssertion(const String& text, bool& ignoreFlag) {
    DebugMessageDialog dialog("Assertion Failed", text);
    dialog.addOption("Skip", Skip);
    dialog.addOption("Skip Always", SkipAlways);
    dialog.addOption("Throw", Throw);
    dialog.addOption("Abort", Abort);
    dialog.addOption("Break", Break);
    int choice;
    try {
        choice = dialog.show();
    } catch (const Exception& e) {
        getError()->writeLineAndFlush(StringBuilder() +
                                      "Could not ask about the assertion: " + e.getMessage());
        return false;
    }
    switch (choice) {
    case Skip:
        return true;
    case SkipAlways:
        ignoreFlag = true;
        return true;
    case Throw:
        throw AssertionFailedException(text);
    case Abort:
        std::abort();
    case Break:
        breakIntoDebugger();
        return true;
    default:
        getError()->writeLineAndFlush("Unknown option chosen");
        breakIntoDebugger();
        return true;
    }
}

// Starts "launch-debugger <pid>" through a short-lived middle child, so that the launcher, which may live
// as long as the debugger does, never stays behind as a zombie of this process.
bool startDebuggerLauncher(int pid) {
    const std::string pidText = std::to_string(pid);
    char program[] = "launch-debugger";
    char* argv[] = {program, const_cast<char*>(pidText.c_str()), nullptr};
    static const char forkFailed[] = "Error forking child process\n"; // written by the middle child
    static const char launchFailed[] = "Error launching debugger\n";
    const pid_t middle = fork();
    if (middle == 0) {
        const pid_t launcher = fork();
        if (launcher == 0) {
            execvp(argv[0], argv);
            (void)!write(STDERR_FILENO, launchFailed, sizeof launchFailed - 1);
            _exit(127);
        }
        if (launcher < 0)
            (void)!write(STDERR_FILENO, forkFailed, sizeof forkFailed - 1);
        _exit(0);
    }
    if (middle < 0) {
        getError()->writeLineAndFlush("Error forking child process");
        return false;
    }
    int status;
    while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

} // namespace

void launchDebuggerIfNeeded() {
    if (isDebuggerAttached())
        return;
    const int pid = static_cast<int>(getpid());
    DebugMessageDialog attach(
        "Attach debugger",
        StringBuilder() + "You can now attach a debugger to process " + pid +
            ":\n\nClick Break if you have manually attached a debugger to this process\n\nClick Launch "
            "Debugger to launch a debugger and connect to this process.\n\nNote: Launch Debugger requires "
            "that a script 'launch-debugger' be present on your path and accepts the pid as first argument.");
    enum { AbortChoice, BreakChoice, LaunchChoice };
    attach.addOption("Abort", AbortChoice);
    attach.addOption("Break", BreakChoice);
    attach.addOption("Launch Debugger", LaunchChoice);
    try {
        const int choice = attach.show();
        switch (choice) {
        case AbortChoice:
            std::abort();
        case BreakChoice:
            didAttachDebugger.store(true);
            return;
        case LaunchChoice: {
            if (!startDebuggerLauncher(pid))
                return;
            DebugMessageDialog waiting("Waiting for debugger to connect",
                                       "Click ok once the debugger has attached itself");
            waiting.addOption("Ok", 1);
            waiting.addOption("Cancel", 0);
            didAttachDebugger.store(waiting.show() == 1);
            return;
        }
        default:
            getError()->writeLineAndFlush(StringBuilder() + "Invalid choice chosen: " + choice);
        }
    } catch (const Exception& e) {
        getError()->writeLineAndFlush(StringBuilder() + "Could not ask for a debugger: " + e.getMessage());
    }
}

void pushAssertionInteractionMode(int mode) {
    LockGuard guard(modeMutex());
    modeStack().push_back(mode);
}

void popAssertionInteractionMode() {
    LockGuard guard(modeMutex());
    if (!modeStack().empty())
        modeStack().pop_back();
}

bool isDebuggerAttached() {
    return didAttachDebugger.load() || tracedAtStartUp();
}
void setDebuggerAttached(bool attached) {
    didAttachDebugger.store(attached);
}

void setInteractiveAssertionHandler(InteractiveAssertionHandler handler) {
    interactiveHandler.store(handler);
}

String getAssertionErrorMessage(const char* condition, const String& message, const char* file, int line) {
    StringBuilder text;
    text + "Assertion failed in process " + static_cast<int>(getpid()) + "\n\nCondition: " + condition;
    if (!message.isEmpty())
        text + "\n" + message;
    text + "\n\nFile: " + file + "\nLine: " + line + "\n\n" + "(stack trace not available on this platform)";
    return text;
}

void assertionFailed(const char* condition, const String& message, const char* file, int line,
                     bool& ignoreFlag) {
    const String text = getAssertionErrorMessage(condition, message, file, line);
    bool stackEmpty;
    const int mode = topMode(stackEmpty);
    if (!stackEmpty && mode != NonInteractiveAssertions) {
        getError()->writeLineAndFlush(text);
    }
    if (ignoreFlag)
        return;
    bool interactive;
    if (mode == NonInteractiveAssertions && !stackEmpty)
        interactive = false;
    else if (mode == InteractiveAssertions)
        interactive = true;
    else {
        const char* env = std::getenv("INTERACTIVE_ASSERTS");
        interactive = isDebuggerAttached() || (env && std::strcmp(env, "true") == 0);
    }
    if (interactive) {
        if (InteractiveAssertionHandler handler = interactiveHandler.load()) {
            handler(text, ignoreFlag);
            return;
        }
        if (askAboutAssertion(text, ignoreFlag))
            return;
    }
    if (isDebuggerAttached())
        return;
    throw AssertionFailedException(text);
}

void assertionIgnored(const char*, const String& message, const char*, int) {
    getError()->writeLine(StringBuilder() + "Assertion ignored: " + message);
}

void fatalState(const String& message, const char* file, int line, bool& ignoreFlag) {
    const String text = StringBuilder() + "Fatal state: " + message;
    if (ignoreFlag)
        assertionIgnored("false", text, file, line);
    else
        assertionFailed("false", text, file, line, ignoreFlag);
}

void illegalState(const String& message, const char* file, int line, bool& ignoreFlag) {
    const String text = StringBuilder() + "Illegal state: " + message;
    if (ignoreFlag)
        assertionIgnored("false", text, file, line);
    else
        assertionFailed("false", text, file, line, ignoreFlag);
}

} // namespace base::core
