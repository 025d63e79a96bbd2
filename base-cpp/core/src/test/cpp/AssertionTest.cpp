#include "base/core/Assertion.h"
#include "base/core/StringBuilder.h"

#include "ProcessTestSupport.h"

using namespace base::core;
using namespace base::core::test;

namespace {

const char* const SOURCE = "base-cpp/core/src/test/cpp/AssertionTest";

// What the interactive handler was asked.
std::vector<String> handled;

void recordingHandler(const String& message, bool&) {
    handled.push_back(message);
}

String expectedMessage() {
    return getAssertionErrorMessage("x > 0", "detail", SOURCE, 42);
}

// What failing the site throws; "no exception" when it returns.
std::string fail(bool& ignoreFlag) {
    return failureOf([&] { assertionFailed("x > 0", "detail", SOURCE, 42, ignoreFlag); });
}

// Every test starts and ends with an empty mode stack, no handler, no debugger and INTERACTIVE_ASSERTS unset.
class AssertionTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (isDebuggerAttached())
            GTEST_SKIP() << "assertions behave differently under a debugger";
    }
    void TearDown() override {
        setInteractiveAssertionHandler(nullptr);
        setDebuggerAttached(false);
    }

    ScopedEnvironment environment{"INTERACTIVE_ASSERTS", nullptr};
};

} // namespace

TEST_F(AssertionTest, MessageFormat) {
    const std::string head =
        "Assertion failed in process " + std::to_string(getpid()) + "\n\nCondition: x > 0\n";
    const std::string tail =
        "\nFile: " + std::string(SOURCE) + "\nLine: 42\n\n(stack trace not available on this platform)";
    EXPECT_EQ(expectedMessage().getStdString(), head + "detail\n" + tail);
    EXPECT_EQ(getAssertionErrorMessage("x > 0", "", SOURCE, 42).getStdString(), head + tail);

    const int value = 1;
    auto failMacro = [&] { BASE_ASSERT_MSG(value == 2, StringBuilder() + "value is " + value, SOURCE); };
    const int line = __LINE__ - 1;
    EXPECT_EQ(failureOf(failMacro),
              getAssertionErrorMessage("value == 2", "value is 1", SOURCE, line).getStdString());
}

// One failure with the recording handler installed, by mode stack (the top rules; values other than the two
// modes defer to the environment), INTERACTIVE_ASSERTS (only "true" counts), debugger and ignored site.
TEST_F(AssertionTest, ModeEnvironmentDebuggerAndIgnoredSiteDecide) {
    constexpr int OFF = NonInteractiveAssertions, ON = InteractiveAssertions;
    const struct {
        const char *what, *environment;
        std::vector<int> modes;
        bool debugger, ignored, throws, written; // written: the message goes to standard error first
        size_t handlerCalls;
    } rows[] = {
        {"nothing pushed", nullptr, {}, false, false, true, false, 0},
        {"environment not exactly true", "1", {}, false, false, true, false, 0},
        {"environment true", "true", {}, false, false, false, false, 1},
        {"non-interactive over environment", "true", {OFF}, false, false, true, false, 0},
        {"another value on top", nullptr, {OFF, 1}, false, false, true, true, 0},
        {"interactive on top", nullptr, {OFF, ON}, false, false, false, true, 1},
        {"debugger", nullptr, {}, true, false, false, false, 1},
        {"debugger, non-interactive", nullptr, {OFF}, true, false, false, false, 0},
        {"ignored site", "true", {}, false, true, false, false, 0},
        {"ignored site, another value", nullptr, {1}, false, true, false, true, 0},
    };
    setInteractiveAssertionHandler(recordingHandler);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        for (int mode : row.modes)
            pushAssertionInteractionMode(mode);
        ScopedEnvironment env("INTERACTIVE_ASSERTS", row.environment);
        setDebuggerAttached(row.debugger);
        handled.clear();
        bool ignoreFlag = row.ignored;
        StderrFile captured;
        captured.startCapture();
        EXPECT_EQ(fail(ignoreFlag), row.throws ? expectedMessage().getStdString() : "no exception");
        EXPECT_EQ(captured.finish(), row.written ? expectedMessage().getStdString() + "\n" : "");
        EXPECT_EQ(handled, std::vector<String>(row.handlerCalls, expectedMessage()));
        EXPECT_EQ(ignoreFlag, row.ignored);
        for (size_t i = 0; i < row.modes.size(); ++i)
            popAssertionInteractionMode();
    }
}

TEST_F(AssertionTest, IgnoredStateAssertionsOnlyReport) {
    bool ignoreFlag = false;
    EXPECT_EQ(failureOf([&] { illegalState("bad", SOURCE, 9, ignoreFlag); }),
              getAssertionErrorMessage("false", "Illegal state: bad", SOURCE, 9).getStdString());
    EXPECT_EQ(failureOf([&] { fatalState("worse", SOURCE, 9, ignoreFlag); }),
              getAssertionErrorMessage("false", "Fatal state: worse", SOURCE, 9).getStdString());
    ignoreFlag = true;
    StderrFile captured;
    captured.startCapture();
    assertionIgnored("x > 0", "gone", SOURCE, 1);
    fatalState("worse", SOURCE, 9, ignoreFlag);
    illegalState("bad", SOURCE, 9, ignoreFlag);
    EXPECT_EQ(captured.finish(), "Assertion ignored: gone\nAssertion ignored: Fatal state: worse\n"
                                 "Assertion ignored: Illegal state: bad\n");
}

// Each row runs in a child, with a dialog program that logs the buttons of every question ("calls") and
// answers each kind of question with the row's exit code (-1: there is no program). The child either fails
// the same site twice, exiting 0 when both returned and 3 when the first threw the assertion's message, or
// asks for a debugger twice, exiting 1 when one counts as attached after the first (the second asks
// nothing). Without a dialog program and a terminal nobody can answer: the assertion throws as a
// non-interactive one, at once, whatever standard input is.
TEST_F(AssertionTest, InteractiveChoices) {
    const std::string A = "Skip,Skip Always,Throw,Abort,Break\n", D = "Abort,Break,Launch Debugger\n",
                      W = "Ok,Cancel\n";
    constexpr auto CLOSED = ChildInput::Closed;
    const struct {
        const char *what, *status;
        bool asksForDebugger;
        int assertion, attach, waiting;
        ChildInput input;
        std::string calls;
    } rows[] = {
        {"Skip", "exit 0", false, 0, 1, 0, CLOSED, A + A},
        {"Skip Always", "exit 0", false, 1, 1, 0, CLOSED, A},
        {"Throw", "exit 3", false, 2, 1, 0, CLOSED, A},
        {"Abort", "signal 6", false, 3, 1, 0, CLOSED, A},
        // Break, and Break again when asked to attach: a debugger is there, so the process traps.
        {"Break", "signal 5", false, 4, 1, 0, CLOSED, A + D},
        {"no program, input silent", "exit 3", false, -1, 1, 0, ChildInput::SilentPipe, ""},
        {"attach: Break", "exit 1", true, 0, 1, 0, CLOSED, D},
        {"attach: Launch Debugger, Ok", "exit 1", true, 0, 2, 0, CLOSED, D + W},
        {"attach: Launch Debugger, Cancel", "exit 0", true, 0, 2, 1, CLOSED, D + W},
        {"attach: Abort", "signal 6", true, 0, 0, 0, CLOSED, D},
    };
    setenv("INTERACTIVE_ASSERTS", "true", 1);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ScriptDirectory directory;
        const std::string dialog =
            row.assertion < 0
                ? directory.file("missing")
                : directory.script("dialog",
                                   "echo \"$6\" >> \"${0%/*}/calls\"\ncase \"$6\" in Skip,*) exit " +
                                       std::to_string(row.assertion) + ";; Abort,*) exit " +
                                       std::to_string(row.attach) + ";; *) exit " +
                                       std::to_string(row.waiting) + ";; esac");
        directory.script("launch-debugger",
                         "echo \"$1\" > \"${0%/*}/pid\" && mv \"${0%/*}/pid\" \"${0%/*}/debugged\"");
        ScopedEnvironment command("MESSAGE_DIALOG_COMMAND", dialog.c_str());
        ScopedEnvironment path("PATH", (directory.path + ":" + std::getenv("PATH")).c_str());
        const ChildRun run = runInChild(
            [&] {
                if (row.asksForDebugger) {
                    launchDebuggerIfNeeded();
                    if (!isDebuggerAttached())
                        return 0;
                    launchDebuggerIfNeeded();
                    return 1;
                }
                bool ignoreFlag = false;
                const std::string first = fail(ignoreFlag);
                if (first != "no exception")
                    return first == expectedMessage().getStdString() ? 3 : 4;
                return fail(ignoreFlag) == "no exception" ? 0 : 5;
            },
            row.input, "", row.assertion < 0 ? 2 : 10);
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(directory.read("calls"), row.calls);
        if (row.assertion < 0) {
            EXPECT_EQ(run.err, "Error invoking " + dialog +
                                   ": No such file or directory\nCould not ask about the assertion: Standard "
                                   "input is not a terminal; nobody can answer\n");
        }
        // The launcher runs on its own, detached from the child: give it a moment.
        const bool launched = row.attach == 2;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (launched && directory.read("debugged").empty() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(directory.read("debugged"), launched ? std::to_string(run.pid) + "\n" : "");
    }
}
