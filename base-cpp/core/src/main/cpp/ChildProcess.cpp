#include "base/core/ChildProcess.h"

#include "base/core/Assertion.h"
#include "base/core/IOException.h"
#include "base/core/ProcessException.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

namespace base::core {

namespace {

// Exit status of a child whose program could not be executed.
constexpr int EXEC_FAILED_STATUS = 255;

struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
};

pid_t waitForChild(pid_t pid, int& status) {
    pid_t result;
    do {
        result = waitpid(pid, &status, 0);
    } while (result < 0 && errno == EINTR);
    return result;
}

} // namespace

ChildProcess::~ChildProcess() {
    if (pid > 0) {
        kill(pid, SIGKILL);
        int status;
        waitForChild(pid, status);
        pid = 0;
    }
}

void ChildProcess::launch(const std::vector<String>& arguments, const std::vector<String>& environment) {
    if (pid > 0)
        BASE_ILLEGAL_STATE("Child process already launched", "base-cpp/core/src/main/cpp/ChildProcess");
    if (arguments.empty())
        throw IOException("Could not launch process");
    std::vector<std::unique_ptr<char, FreeDeleter>> storage;
    std::vector<char*> argv;
    storage.reserve(arguments.size());
    argv.reserve(arguments.size() + 1);
    for (const String& argument : arguments) {
        storage.emplace_back(strdup(argument.getStdString().c_str()));
        if (!storage.back())
            throw IOException("Could not allocate memory for argument to process");
        argv.push_back(storage.back().get());
    }
    argv.push_back(nullptr);

    // Everything the child touches is prepared above: between vfork and exec it may only exec or _exit.
    const pid_t child = vfork();
    if (child == 0) {
        execvp(argv[0], argv.data());
        _exit(EXEC_FAILED_STATUS);
    }
    if (child < 0)
        throw IOException("Could not launch process");
    pid = child;
}

int ChildProcess::waitForExit() {
    if (pid <= 0)
        return -1;
    const int32_t waited = pid;
    pid = 0;
    int status = 0;
    if (waitForChild(waited, status) < 0)
        throw ProcessException(StringBuilder() + "Could not wait for child process with PID " + waited +
                               ": " + std::strerror(errno));
    // A child ended by a signal reports 128 + the signal number, as shells do.
    const int exitCode = WIFEXITED(status)     ? WEXITSTATUS(status)
                         : WIFSIGNALED(status) ? 128 + WTERMSIG(status)
                                               : status;
    if (exitCode != 0) {
        getError()->writeLine(StringBuilder() + "Child process with PID " + waited +
                              " exited with error code: " + exitCode);
        getError()->flush();
    }
    return exitCode;
}

} // namespace base::core
