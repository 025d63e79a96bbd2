#include "ProcessTestSupport.h"

#include "base/core/ChildProcess.h"
#include "base/core/IOException.h"
#include "base/core/SmartPtr.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <sys/wait.h>

using namespace base::core;
using base::core::test::StderrFile;

TEST(ChildProcess, ProgramThatCannotRunExitsWith255) {
    StderrFile captured;
    ASSERT_TRUE(captured.isValid());
    ChildProcess process;
    process.launch({"plugin-host-test-no-such-program", "--flag"}, {});
    const int32_t pid = process.getPid();
    ASSERT_GT(pid, 0);
    captured.startCapture();
    process.waitForExit();
    captured.stopCapture();
    EXPECT_EQ(captured.contents(),
              "Child process with PID " + std::to_string(pid) + " exited with error code: 255\n");
    EXPECT_EQ(process.getPid(), 0);
}

TEST(ChildProcess, ProgramIsFoundOnPathAndSuccessIsNotReported) {
    StderrFile captured;
    ASSERT_TRUE(captured.isValid());
    ChildProcess process;
    process.launch({"sh", "-c", "exit 0"}, {});
    captured.startCapture();
    process.waitForExit();
    process.launch({"sh", "-c", "exit 3"}, {});
    const int32_t failing = process.getPid();
    process.waitForExit();
    captured.stopCapture();
    EXPECT_EQ(captured.contents(),
              "Child process with PID " + std::to_string(failing) + " exited with error code: 3\n");
}

TEST(ChildProcess, DestructionKillsAndReapsARunningChild) {
    SmartPtr<ChildProcess> process(new ChildProcess());
    process->launch({"sleep", "30"}, {});
    const pid_t pid = process->getPid();
    ASSERT_GT(pid, 0);
    process.reset();
    // Reaped: neither a process nor a zombie of ours any more.
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_EQ(kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST(ChildProcess, EmptyArgumentsCannotLaunch) {
    ChildProcess process;
    EXPECT_THROW(process.launch({}, {}), IOException);
    EXPECT_EQ(process.getPid(), 0);
}
