#include "base/core/DebugMessageDialog.h"

#include "ProcessTestSupport.h"

using namespace base::core;
using namespace base::core::test;

namespace {

DebugMessageDialog threeOptions() {
    DebugMessageDialog dialog("Question", "Line one\nLine two", 300, 200);
    dialog.addOption("A", 10);
    dialog.addOption("B", 20);
    dialog.addOption("C", 30);
    return dialog;
}

// The chosen option's result code, or 99 after writing why no choice was made.
int showReportingFailure() {
    int choice = 99;
    const std::string failure = failureOf([&] { choice = threeOptions().show(); });
    if (choice == 99)
        std::cerr << failure << "\n";
    return choice;
}

} // namespace

// Without a usable program the question goes to the terminal, which is asked until it gives an option.
TEST(DebugMessageDialog, UnusableProgramFallsBackToTheTerminal) {
    ScriptDirectory directory;
    const std::string missing = directory.file("missing");
    const std::string badCode = directory.script("bad-code", "exit 3");
    const struct {
        std::string program;
        const char *typed, *status;
        std::string error;
        const char* replies;
    } rows[] = {
        {missing, "\n  abc \n7\n1\n", "exit 20",
         "Error invoking " + missing + ": No such file or directory\n",
         "Please enter a valid choice\nInvalid choice: abc\nInvalid choice: 7\n"},
        {badCode, "0\n", "exit 10",
         "Error invoking " + badCode + ": " + badCode + " returned a bad exit code\n", ""},
        // Ctrl-D: the terminal's input ends without a choice.
        {missing, "-1\n\x04", "exit 99",
         "Error invoking " + missing +
             ": No such file or directory\nStandard input ended before a choice was made\n",
         "Invalid choice: -1\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.program + " typed " + row.typed);
        ScopedEnvironment command("MESSAGE_DIALOG_COMMAND", row.program.c_str());
        const ChildRun run = runInChild(showReportingFailure, ChildInput::Terminal, row.typed);
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(run.err, row.error);
        EXPECT_EQ(run.out, std::string("Line one\nLine two\n\n    0: A\n    1: B\n    2: C\n") + row.replies);
    }
}
