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

// Where the interactive path (dialog, debugger) plugs in. Returns after Skip, sets ignoreFlag after
// Skip Always, and throws, aborts or breaks otherwise.
using InteractiveAssertionHandler = void (*)(const String& assertionMessage, bool& ignoreFlag);
void setInteractiveAssertionHandler(InteractiveAssertionHandler handler);

bool isDebuggerAttached();
void setDebuggerAttached(bool attached);

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
