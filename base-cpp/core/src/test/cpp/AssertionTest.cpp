#include "base/core/Assertion.h"
#include "base/core/AssertionFailedException.h"
#include "base/core/StringBuilder.h"

#include "ProcessTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <unistd.h>

using namespace base::core;
using namespace base::core::test;

namespace {

const char* const SOURCE = "base-cpp/core/src/test/cpp/AssertionTest";

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
        handlerLog = HandlerLog();
        if (isDebuggerAttached())
            GTEST_SKIP() << "assertions behave differently under a debugger";
    }
    void TearDown() override {
        popModes();
        setInteractiveAssertionHandler(nullptr);
        setDebuggerAttached(false);
    }
    void pushMode(int mode) {
        pushAssertionInteractionMode(mode);
        ++pushed;
    }
    void popModes() {
        for (; pushed > 0; --pushed)
            popAssertionInteractionMode();
    }
    static String expectedMessage() { return getAssertionErrorMessage("x > 0", "detail", SOURCE, 42); }
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

    ScopedEnvironment environment{"INTERACTIVE_ASSERTS", nullptr};
    int pushed = 0;
};

} // namespace

TEST_F(AssertionTest, MessageFormat) {
    const std::string head =
        "Assertion failed in process " + std::to_string(getpid()) + "\n\nCondition: x > 0\n";
    const std::string tail =
        "\nFile: " + std::string(SOURCE) + "\nLine: 42\n\n(stack trace not available on this platform)";
    EXPECT_EQ(expectedMessage().getStdString(), head + "detail\n" + tail);
    EXPECT_EQ(getAssertionErrorMessage("x > 0", "", SOURCE, 42).getStdString(), head + tail);
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

// One failure with the recording handler installed, by mode stack (the top rules; values other than the two
// modes defer to the environment), INTERACTIVE_ASSERTS (only "true" counts), debugger and ignored site.
TEST_F(AssertionTest, ModeEnvironmentDebuggerAndIgnoredSiteDecide) {
    constexpr int OFF = NonInteractiveAssertions, ON = InteractiveAssertions;
    const struct {
        const char* what;
        std::vector<int> modes;
        const char* environment;
        bool debugger;
        bool ignored;
        bool throws;
        bool written; // the message goes to standard error first
        int handlerCalls;
    } rows[] = {
        {"nothing pushed", {}, nullptr, false, false, true, false, 0},
        {"environment not exactly true", {}, "1", false, false, true, false, 0},
        {"environment true", {}, "true", false, false, false, false, 1},
        {"non-interactive over environment", {OFF}, "true", false, false, true, false, 0},
        {"another value on top", {OFF, 1}, nullptr, false, false, true, true, 0},
        {"interactive on top", {OFF, ON}, nullptr, false, false, false, true, 1},
        {"debugger", {}, nullptr, true, false, false, false, 1},
        {"debugger, non-interactive", {OFF}, nullptr, true, false, false, false, 0},
        {"ignored site", {}, "true", false, true, false, false, 0},
        {"ignored site, another value", {1}, nullptr, false, true, false, true, 0},
    };
    setInteractiveAssertionHandler(recordingHandler);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        for (int mode : row.modes)
            pushMode(mode);
        ScopedEnvironment env("INTERACTIVE_ASSERTS", row.environment);
        setDebuggerAttached(row.debugger);
        handlerLog = HandlerLog();
        bool ignoreFlag = row.ignored;
        StderrFile captured;
        captured.startCapture();
        EXPECT_EQ(failThrows(ignoreFlag), row.throws);
        EXPECT_EQ(captured.finish(), row.written ? expectedMessage().getStdString() + "\n" : "");
        EXPECT_EQ(handlerLog.calls, row.handlerCalls);
        EXPECT_EQ(handlerLog.lastMessage, row.handlerCalls ? expectedMessage() : String());
        EXPECT_EQ(ignoreFlag, row.ignored);
        popModes();
    }

    // "Skip Always": the handler sets the flag, and the site asks no more.
    setenv("INTERACTIVE_ASSERTS", "true", 1);
    handlerLog = HandlerLog{0, "", true};
    bool ignoreFlag = false;
    EXPECT_FALSE(failThrows(ignoreFlag));
    EXPECT_TRUE(ignoreFlag);
    EXPECT_FALSE(failThrows(ignoreFlag));
    EXPECT_EQ(handlerLog.calls, 1);
}

TEST_F(AssertionTest, IgnoredStateAssertionsOnlyReport) {
    StderrFile captured;
    captured.startCapture();
    assertionIgnored("x > 0", "gone", SOURCE, 1);
    EXPECT_EQ(captured.finish(), "Assertion ignored: gone\n");
    bool ignoreFlag = false;
    try {
        illegalState("bad", SOURCE, 9, ignoreFlag);
        ADD_FAILURE() << "no exception";
    } catch (const AssertionFailedException& e) {
        EXPECT_EQ(e.getMessage(), getAssertionErrorMessage("false", "Illegal state: bad", SOURCE, 9));
    }
    EXPECT_THROW(fatalState("worse", SOURCE, 9, ignoreFlag), AssertionFailedException);
    ignoreFlag = true;
    StderrFile ignored;
    ignored.startCapture();
    fatalState("worse", SOURCE, 9, ignoreFlag);
    illegalState("bad", SOURCE, 9, ignoreFlag);
    EXPECT_EQ(ignored.finish(),
              "Assertion ignored: Fatal state: worse\nAssertion ignored: Illegal state: bad\n");
}

namespace {

const char* const ASSERTION_BUTTONS = "Skip,Skip Always,Throw,Abort,Break\n";
const char* const ATTACH_BUTTONS = "Abort,Break,Launch Debugger\n";
const char* const WAITING_BUTTONS = "Ok,Cancel\n";

// A dialog program that logs the buttons of every question ("calls") and answers each kind of question
// with the given exit code.
std::string dialogScript(const ScriptDirectory& directory, int assertion, int attach, int waiting) {
    return directory.script("dialog", "echo \"$6\" >> \"${0%/*}/calls\"\ncase \"$6\" in Skip,*) exit " +
                                          std::to_string(assertion) + ";; Abort,*) exit " +
                                          std::to_string(attach) + ";; *) exit " + std::to_string(waiting) +
                                          ";; esac");
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
    setenv("INTERACTIVE_ASSERTS", "true", 1);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.option);
        ScriptDirectory directory;
        const std::string dialog =
            row.answer < 0 ? directory.file("missing") : dialogScript(directory, row.answer, 1, 0);
        ScopedEnvironment command("MESSAGE_DIALOG_COMMAND", dialog.c_str());
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
        bool launched;
    } rows[] = {
        {"Break", 1, 0, "exit 1", false},
        {"Launch Debugger, Ok", 2, 0, "exit 1", true},
        {"Launch Debugger, Cancel", 2, 1, "exit 0", true},
        {"Abort", 0, 0, "signal 6", false},
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
        EXPECT_EQ(directory.read("calls"),
                  std::string(ATTACH_BUTTONS) + (row.launched ? WAITING_BUTTONS : ""));
        // The launcher runs on its own, detached from the child: give it a moment.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (row.launched && directory.read("debugged").empty() &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(directory.read("debugged"), row.launched ? std::to_string(run.pid) + "\n" : "");
    }
}
