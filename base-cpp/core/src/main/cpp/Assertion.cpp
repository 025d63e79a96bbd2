#include "base/core/Assertion.h"

#include "base/core/AssertionFailedException.h"
#include "base/core/LockGuard.h"
#include "base/core/Mutex.h"
#include "base/core/OutputStream.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <string>
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

} // namespace

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
        getError()->writeLine(text);
        getError()->flush();
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
        // No dialog is installed in this process: say so, then fail as a non-interactive run would.
        getError()->writeLine(StringBuilder() +
                              "Interactive assertions are not available; throwing: " + text);
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
