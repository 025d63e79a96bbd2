#pragma once

#include "base/core/String.h"

namespace base::core {

// Mode stack values: the top entry rules; anything else defers to the environment.
enum AssertionInteractionMode { NonInteractiveAssertions = 0, InteractiveAssertions = 2 };

void pushAssertionInteractionMode(int mode);
void popAssertionInteractionMode();

String getAssertionErrorMessage(const char* condition, const String& message, const char* file, int line);

// Reports a failed condition: throws AssertionFailedException unless the site is ignored, a debugger is
// attached, or an interactive handler decides otherwise.
void assertionFailed(const char* condition, const String& message, const char* file, int line,
                     bool& ignoreFlag);
void assertionIgnored(const char* condition, const String& message, const char* file, int line);

// Where the interactive path plugs in. Returns after Skip, sets ignoreFlag after Skip Always, and throws,
// aborts or breaks otherwise. Without a handler (nullptr, the default) a DebugMessageDialog asks the
// developer; when no dialog and no terminal can ask, the assertion fails as a non-interactive one does.
using InteractiveAssertionHandler = void (*)(const String& assertionMessage, bool& ignoreFlag);
void setInteractiveAssertionHandler(InteractiveAssertionHandler handler);

bool isDebuggerAttached();
void setDebuggerAttached(bool attached);

// Unless a debugger is attached already, asks the developer to attach one (or to have the script
// "launch-debugger" on PATH start one with this process id) and waits for the answer. Any thread.
void launchDebuggerIfNeeded();

} // namespace base::core

// Source paths in messages are relative to the repository, as "base-cpp/core/src/main/cpp/Thread".
#define BASE_ASSERT_MSG(condition, message, source)                                                          \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            static bool assertionIgnoreFlag = false;                                                         \
            ::base::core::assertionFailed(#condition, (message), (source), __LINE__, assertionIgnoreFlag);   \
        }                                                                                                    \
    } while (false)

// An unreachable or impossible state; the message gets the "Fatal state: " prefix.
#define BASE_FATAL_STATE(message, source)                                                                    \
    do {                                                                                                     \
        static bool assertionIgnoreFlag = false;                                                             \
        ::base::core::fatalState((message), (source), __LINE__, assertionIgnoreFlag);                        \
    } while (false)

// An unexpected state; the message gets the "Illegal state: " prefix.
#define BASE_ILLEGAL_STATE(message, source)                                                                  \
    do {                                                                                                     \
        static bool assertionIgnoreFlag = false;                                                             \
        ::base::core::illegalState((message), (source), __LINE__, assertionIgnoreFlag);                      \
    } while (false)

namespace base::core {
void fatalState(const String& message, const char* file, int line, bool& ignoreFlag);
void illegalState(const String& message, const char* file, int line, bool& ignoreFlag);
} // namespace base::core
