#include "base/core/Assertion.h"
#include "base/core/AssertionFailedException.h"
#include "base/core/StringBuilder.h"

#include "DialogTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>

using namespace base::core;
using namespace base::core::test;

namespace {

const char* const SOURCE = "base-cpp/core/src/test/cpp/AssertionTest";

// Sends file descriptor 2 to a temporary file while it lives, or until text() is asked for.
class StderrCapture {
public:
    StderrCapture() : file(std::tmpfile()) {
        std::cerr.flush();
        saved = dup(2);
        dup2(fileno(file), 2);
    }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;
    ~StderrCapture() {
        restore();
        std::fclose(file);
    }

    std::string text() {
        restore();
        std::string result;
        std::rewind(file);
        for (int c; (c = std::fgetc(file)) != EOF;)
            result += static_cast<char>(c);
        return result;
    }

private:
    void restore() {
        if (saved < 0)
            return;
        std::cerr.flush();
        dup2(saved, 2);
        close(saved);
        saved = -1;
    }

    std::FILE* file;
    int saved;
};

struct HandlerLog {
    int calls = 0;
    String lastMessage;
    bool skipAlways = false;
} handlerLog;

void recordingHandler(const String& message, bool& ignoreFlag) {
    ++handlerLog.calls;
    handlerLog.lastMessage = message;
    if (handlerLog.skipAlways)
        ignoreFlag = true;
}

// Every test starts with an empty mode stack, no handler, no debugger and INTERACTIVE_ASSERTS unset, and
// leaves them so.
class AssertionTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* value = std::getenv("INTERACTIVE_ASSERTS"))
            savedEnvironment = value;
        unsetenv("INTERACTIVE_ASSERTS");
        handlerLog = HandlerLog();
        if (isDebuggerAttached())
            GTEST_SKIP() << "assertions behave differently under a debugger";
    }
    void TearDown() override {
        for (; pushed > 0; --pushed)
            popAssertionInteractionMode();
        setInteractiveAssertionHandler(nullptr);
        setDebuggerAttached(false);
        if (savedEnvironment)
            setenv("INTERACTIVE_ASSERTS", savedEnvironment->c_str(), 1);
        else
            unsetenv("INTERACTIVE_ASSERTS");
    }
    void pushMode(int mode) {
        pushAssertionInteractionMode(mode);
        ++pushed;
    }
    static String expectedMessage(const char* message = "detail", int line = 42) {
        return getAssertionErrorMessage("x > 0", message, SOURCE, line);
    }
    // Fails the site; true when AssertionFailedException carried the expected message.
    static bool failThrows(bool& ignoreFlag) {
        try {
            assertionFailed("x > 0", "detail", SOURCE, 42, ignoreFlag);
            return false;
        } catch (const AssertionFailedException& e) {
            EXPECT_EQ(e.getMessage(), expectedMessage());
            return true;
        }
    }

    std::optional<std::string> savedEnvironment;
    int pushed = 0;
};

} // namespace

TEST_F(AssertionTest, MessageFormat) {
    const std::string pid = std::to_string(getpid());
    EXPECT_EQ(expectedMessage().getStdString(),
              "Assertion failed in process " + pid + "\n\nCondition: x > 0\ndetail\n\nFile: " + SOURCE +
                  "\nLine: 42\n\n(stack trace not available on this platform)");
    EXPECT_EQ(expectedMessage("", 7).getStdString(),
              "Assertion failed in process " + pid + "\n\nCondition: x > 0\n\nFile: " + SOURCE +
                  "\nLine: 7\n\n(stack trace not available on this platform)");
}

TEST_F(AssertionTest, EmptyStackThrowsSilently) {
    StderrCapture capture;
    bool ignoreFlag = false;
    EXPECT_TRUE(failThrows(ignoreFlag));
    EXPECT_FALSE(ignoreFlag);
    EXPECT_EQ(capture.text(), "");
}

TEST_F(AssertionTest, MacroReportsConditionAndLine) {
    const int value = 1;
    int line = 0;
    try {
        line = __LINE__ + 1;
        BASE_ASSERT_MSG(value == 2, StringBuilder() + "value is " + value, SOURCE);
        ADD_FAILURE() << "no exception";
    } catch (const AssertionFailedException& e) {
        EXPECT_EQ(e.getMessage(), getAssertionErrorMessage("value == 2", "value is 1", SOURCE, line));
    }
    EXPECT_NO_THROW(BASE_ASSERT_MSG(value == 1, "unused", SOURCE));
}

TEST_F(AssertionTest, NonInteractiveModeOverridesEnvironment) {
    setenv("INTERACTIVE_ASSERTS", "true", 1);
    setInteractiveAssertionHandler(recordingHandler);
    pushMode(NonInteractiveAssertions);
    StderrCapture capture;
    bool ignoreFlag = false;
    EXPECT_TRUE(failThrows(ignoreFlag));
    EXPECT_EQ(capture.text(), "");
    EXPECT_EQ(handlerLog.calls, 0);
}

TEST_F(AssertionTest, OtherModeWritesMessageFirst) {
    pushMode(NonInteractiveAssertions);
    pushMode(1); // the top rules, and defers to the (unset) environment
    StderrCapture capture;
    bool ignoreFlag = false;
    EXPECT_TRUE(failThrows(ignoreFlag));
    EXPECT_EQ(capture.text(), expectedMessage().getStdString() + "\n");
}

TEST_F(AssertionTest, IgnoredSiteReturnsAfterWriting) {
    bool ignoreFlag = true;
    {
        StderrCapture capture;
        EXPECT_FALSE(failThrows(ignoreFlag));
        EXPECT_EQ(capture.text(), "");
    }
    pushMode(1);
    StderrCapture capture;
    EXPECT_FALSE(failThrows(ignoreFlag));
    EXPECT_EQ(capture.text(), expectedMessage().getStdString() + "\n");
}

TEST_F(AssertionTest, IgnoredStateAssertionsOnlyReport) {
    {
        StderrCapture capture;
        assertionIgnored("x > 0", "gone", SOURCE, 1);
        EXPECT_EQ(capture.text(), "Assertion ignored: gone\n");
    }
    bool ignoreFlag = false;
    try {
        illegalState("bad", SOURCE, 9, ignoreFlag);
        ADD_FAILURE() << "no exception";
    } catch (const AssertionFailedException& e) {
        EXPECT_EQ(e.getMessage(), getAssertionErrorMessage("false", "Illegal state: bad", SOURCE, 9));
    }
    EXPECT_THROW(fatalState("worse", SOURCE, 9, ignoreFlag), AssertionFailedException);
    ignoreFlag = true;
    StderrCapture capture;
    fatalState("worse", SOURCE, 9, ignoreFlag);
    EXPECT_EQ(capture.text(), "Assertion ignored: Fatal state: worse\n");
}

TEST_F(AssertionTest, InteractiveHandlerCanSkipAlways) {
    setenv("INTERACTIVE_ASSERTS", "true", 1);
    setInteractiveAssertionHandler(recordingHandler);
    bool ignoreFlag = false;
    EXPECT_FALSE(failThrows(ignoreFlag)); // "Skip"
    EXPECT_FALSE(failThrows(ignoreFlag));
    EXPECT_EQ(handlerLog.calls, 2);
    EXPECT_EQ(handlerLog.lastMessage, expectedMessage());

    handlerLog.skipAlways = true;
    EXPECT_FALSE(failThrows(ignoreFlag));
    EXPECT_TRUE(ignoreFlag);
    EXPECT_FALSE(failThrows(ignoreFlag));
    EXPECT_EQ(handlerLog.calls, 3);
}

TEST_F(AssertionTest, InteractiveModeAndDebuggerSelectTheHandler) {
    setInteractiveAssertionHandler(recordingHandler);
    bool ignoreFlag = false;
    setenv("INTERACTIVE_ASSERTS", "1", 1); // only "true" counts
    EXPECT_TRUE(failThrows(ignoreFlag));
    EXPECT_EQ(handlerLog.calls, 0);

    setDebuggerAttached(true);
    EXPECT_FALSE(failThrows(ignoreFlag));
    EXPECT_EQ(handlerLog.calls, 1);
    // Non-interactive with a debugger attached: neither the handler nor an exception.
    pushMode(NonInteractiveAssertions);
    EXPECT_FALSE(failThrows(ignoreFlag));
    EXPECT_EQ(handlerLog.calls, 1);
    setDebuggerAttached(false);

    pushMode(InteractiveAssertions);
    StderrCapture capture;
    EXPECT_FALSE(failThrows(ignoreFlag));
    EXPECT_EQ(handlerLog.calls, 2);
    EXPECT_EQ(capture.text(), expectedMessage().getStdString() + "\n");
}

namespace {

const char* const ASSERTION_BUTTONS = "Skip,Skip Always,Throw,Abort,Break\n";
const char* const ATTACH_BUTTONS = "Abort,Break,Launch Debugger\n";
const char* const WAITING_BUTTONS = "Ok,Cancel\n";

// A dialog program that logs the buttons of every question ("calls") and answers each kind of question
// with the given exit code.
std::string dialogScript(const ScriptDirectory& directory, int assertion, int attach, int waiting) {
    return directory.script("dialog", "echo \"$6\" >> \"${0%/*}/calls\"\n"
                                      "case \"$6\" in\n"
                                      "  Skip,*) exit " +
                                          std::to_string(assertion) +
                                          " ;;\n"
                                          "  Abort,*) exit " +
                                          std::to_string(attach) +
                                          " ;;\n"
                                          "  *) exit " +
                                          std::to_string(waiting) +
                                          " ;;\n"
                                          "esac");
}

} // namespace

// The same site fails twice in a child; the child exits 0 when both returned and 3 when the first threw
// the assertion's message. Without a dialog program and a terminal nobody can answer: the assertion
// throws as a non-interactive one, at once, whatever standard input is.
TEST_F(AssertionTest, InteractiveChoices) {
    const struct {
        const char* option;
        int answer; // -1: no dialog program
        ChildInput input;
        const char* status;
        std::string calls;
    } rows[] = {
        {"Skip", 0, ChildInput::Closed, "exit 0", std::string(ASSERTION_BUTTONS) + ASSERTION_BUTTONS},
        {"Skip Always", 1, ChildInput::Closed, "exit 0", ASSERTION_BUTTONS},
        {"Throw", 2, ChildInput::Closed, "exit 3", ASSERTION_BUTTONS},
        {"Abort", 3, ChildInput::Closed, "signal 6", ASSERTION_BUTTONS},
        // Break, and Break again when asked to attach: a debugger is there, so the process traps.
        {"Break", 4, ChildInput::Closed, "signal 5", std::string(ASSERTION_BUTTONS) + ATTACH_BUTTONS},
        {"none, input closed", -1, ChildInput::Closed, "exit 3", ""},
        {"none, input silent", -1, ChildInput::SilentPipe, "exit 3", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.option);
        ScriptDirectory directory;
        const std::string dialog =
            row.answer < 0 ? directory.file("missing") : dialogScript(directory, row.answer, 1, 0);
        ScopedEnvironment command("MESSAGE_DIALOG_COMMAND", dialog.c_str());
        setenv("INTERACTIVE_ASSERTS", "true", 1);
        const ChildRun run = runInChild(
            [] {
                bool ignoreFlag = false;
                try {
                    assertionFailed("x > 0", "detail", SOURCE, 42, ignoreFlag);
                    assertionFailed("x > 0", "detail", SOURCE, 42, ignoreFlag);
                } catch (const AssertionFailedException& e) {
                    return e.getMessage() == expectedMessage() ? 3 : 4;
                }
                return 0;
            },
            row.input, "", row.answer < 0 ? 2 : 10);
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(directory.read("calls"), row.calls);
        if (row.answer < 0) {
            EXPECT_EQ(run.err, "Error invoking " + dialog +
                                   ": No such file or directory\nCould not ask about the assertion: Standard "
                                   "input is not a terminal; nobody can answer\n");
        }
    }
}

// launchDebuggerIfNeeded in a child that exits 1 when a debugger counts as attached afterwards; once
// attached, a second call asks nothing.
TEST_F(AssertionTest, LaunchDebuggerIfNeeded) {
    const struct {
        const char* choice;
        int attach;
        int waiting;
        const char* status;
        std::string calls;
        bool launched;
    } rows[] = {
        {"Break", 1, 0, "exit 1", ATTACH_BUTTONS, false},
        {"Launch Debugger, Ok", 2, 0, "exit 1", std::string(ATTACH_BUTTONS) + WAITING_BUTTONS, true},
        {"Launch Debugger, Cancel", 2, 1, "exit 0", std::string(ATTACH_BUTTONS) + WAITING_BUTTONS, true},
        {"Abort", 0, 0, "signal 6", ATTACH_BUTTONS, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.choice);
        ScriptDirectory directory;
        const std::string dialog = dialogScript(directory, 0, row.attach, row.waiting);
        directory.script("launch-debugger",
                         "echo \"$1\" > \"${0%/*}/pid\" && mv \"${0%/*}/pid\" \"${0%/*}/debugged\"");
        ScopedEnvironment command("MESSAGE_DIALOG_COMMAND", dialog.c_str());
        ScopedEnvironment path("PATH", (directory.path + ":" + std::getenv("PATH")).c_str());
        const ChildRun run = runInChild(
            [] {
                launchDebuggerIfNeeded();
                if (!isDebuggerAttached())
                    return 0;
                launchDebuggerIfNeeded();
                return 1;
            },
            ChildInput::Closed);
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(directory.read("calls"), row.calls);
        // The launcher runs on its own, detached from the child: give it a moment.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (row.launched && directory.read("debugged").empty() &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(directory.read("debugged"), row.launched ? std::to_string(run.pid) + "\n" : "");
    }
}
