#include "ProcessTestSupport.h"

#include "base/core/ChildProcess.h"

using namespace base::core;
using base::core::test::StderrFile;

// The program is looked up on PATH; one that cannot run exits with 255. Only a failure is reported.
TEST(ChildProcess, FailedExitIsReportedAndSuccessIsNot) {
    const std::pair<std::vector<String>, int> rows[] = {{{"plugin-host-test-no-such-program", "--flag"}, 255},
                                                        {{"sh", "-c", "exit 0"}, 0},
                                                        {{"sh", "-c", "exit 3"}, 3}};
    ChildProcess process;
    StderrFile captured;
    std::string expected;
    for (const auto& [arguments, code] : rows) {
        process.launch(arguments, {});
        const int32_t pid = process.getPid();
        ASSERT_GT(pid, 0);
        captured.startCapture();
        process.waitForExit();
        captured.stopCapture();
        EXPECT_EQ(process.getPid(), 0);
        if (code != 0)
            expected += "Child process with PID " + std::to_string(pid) +
                        " exited with error code: " + std::to_string(code) + "\n";
    }
    EXPECT_EQ(captured.contents(), expected);
}
