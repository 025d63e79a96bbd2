#pragma once

// Helpers for the tests of the core library and of processes that use it: the message of a failure, a
// forked peer whose life is bounded, capture of output streams, scoped environment variables, other local
// users, and scripts in a temporary directory.

#include "base/core/Exception.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace base::core::test {

// The message of the exception of type E that `action` throws; "no exception" when it throws none.
template <typename E = Exception, typename Action> std::string failureOf(Action action) {
    try {
        action();
    } catch (const E& e) {
        return e.getMessage().getStdString();
    }
    return "no exception";
}

// Runs `body` in a forked child whose exit status is body's result (99 when it throws). The child is killed
// by an alarm after `limitSeconds`, so waiting for it is bounded. Once the child has ended, and until wait()
// or destruction, the FIFOs in `fifosToRelease` are opened and closed again and again, which releases every
// open of this process still waiting for the child to connect.
class ForkedChild {
public:
    explicit ForkedChild(const std::function<int()>& body, unsigned limitSeconds = 20)
        : ForkedChild(body, {}, limitSeconds) {}
    ForkedChild(const std::function<int()>& body, std::vector<std::string> fifosToRelease,
                unsigned limitSeconds) {
        std::fflush(nullptr);
        pid = fork();
        if (pid == 0) {
            alarm(limitSeconds);
            int result = 99;
            try {
                result = body();
            } catch (...) {
            }
            std::fflush(nullptr);
            _exit(result);
        }
        if (pid > 0)
            watcher = std::thread([this, fifos = std::move(fifosToRelease)] {
                while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
                }
                for (; !fifos.empty() && !stop; std::this_thread::sleep_for(std::chrono::milliseconds(20)))
                    for (const std::string& fifo : fifos)
                        if (const int descriptor = open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
                            descriptor >= 0)
                            close(descriptor);
            });
    }
    ~ForkedChild() {
        if (watcher.joinable())
            kill(pid, SIGKILL);
        wait();
    }

    pid_t getPid() const { return pid; }

    // The child's exit status, or -1 when it did not exit normally (killed by the alarm, crashed).
    int wait() {
        stop = true;
        if (watcher.joinable())
            watcher.join();
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    // After wait(): "exit N" or "signal N".
    std::string outcome() const {
        return WIFEXITED(raw) ? "exit " + std::to_string(WEXITSTATUS(raw))
                              : "signal " + std::to_string(WTERMSIG(raw));
    }

private:
    pid_t pid = -1;
    int raw = -1;
    std::atomic<bool> stop{false};
    std::thread watcher;
};

// A temporary file that receives standard error (or another descriptor), in this process or in a forked
// child.
class StderrFile {
public:
    ~StderrFile() {
        stopCapture();
        close(descriptor);
    }

    // Points `target` at the file until stopCapture (in a forked child: for good).
    void startCapture(int target = 2) {
        std::fflush(nullptr);
        captured = target;
        saved = dup(target);
        dup2(descriptor, target);
    }
    void stopCapture() {
        if (saved < 0)
            return;
        std::fflush(nullptr);
        dup2(saved, captured);
        close(saved);
        saved = -1;
    }
    // Ends the capture; what was written.
    std::string finish() {
        stopCapture();
        return contents();
    }

    std::string contents() const {
        std::string text;
        char chunk[512];
        ssize_t got;
        for (off_t offset = 0; (got = pread(descriptor, chunk, sizeof chunk, offset)) > 0; offset += got)
            text.append(chunk, static_cast<size_t>(got));
        return text;
    }

private:
    int descriptor = open("/tmp", O_TMPFILE | O_RDWR, 0600);
    int captured = 2;
    int saved = -1;
};

// Sets (or, with nullptr, unsets) an environment variable for one scope.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name(name) {
        if (const char* old = std::getenv(name))
            previous = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnvironment() { previous ? setenv(name, previous->c_str(), 1) : unsetenv(name); }

private:
    const char* name;
    std::optional<std::string> previous;
};

// Sets or unsets USER for one scope.
struct ScopedUser : ScopedEnvironment {
    explicit ScopedUser(const char* value) : ScopedEnvironment("USER", value) {}
};

// Ids of no account, for the other local users of the security tests; taking them on needs root.
constexpr uid_t ATTACKER_UID = 64101;
constexpr uid_t VICTIM_UID = 64102;

// Runs a shell command (no single quotes in it) as another user through setpriv; its exit status.
inline int runAsUser(uid_t uid, const std::string& command) {
    const std::string id = std::to_string(uid);
    const int status = std::system(
        ("setpriv --reuid=" + id + " --regid=" + id + " --clear-groups sh -c '" + command + "'").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// For a forked child: gives up root for good and becomes `uid` (user and group).
inline bool becomeUser(uid_t uid) {
    return setgroups(0, nullptr) == 0 && setresgid(uid, uid, uid) == 0 && setresuid(uid, uid, uid) == 0;
}

// A temporary directory, removed with what the test wrote into it.
struct ScriptDirectory {
    ScriptDirectory() {
        char name[] = "/tmp/base-core-dialog-XXXXXX";
        path = mkdtemp(name);
    }
    ~ScriptDirectory() { std::filesystem::remove_all(path); }

    std::string file(const std::string& name) const { return path + "/" + name; }

    // Writes an executable shell script; returns its path.
    std::string script(const std::string& name, const std::string& body) const {
        std::ofstream(file(name)) << "#!/bin/sh\n" << body << "\n";
        chmod(file(name).c_str(), 0755);
        return file(name);
    }

    // The file's contents; empty when it does not exist.
    std::string read(const std::string& name) const {
        std::ifstream in(file(name));
        return {std::istreambuf_iterator<char>(in), {}};
    }

    std::string path;
};

// What the child's standard input is: a pseudo-terminal on which `typed` has been typed, closed, or a pipe
// that stays open and silent (a process started by another program that never writes to it).
enum class ChildInput { Terminal, Closed, SilentPipe };

struct ChildRun {
    pid_t pid = -1;
    std::string status; // "exit N" or "signal N"
    std::string out;
    std::string err;
};

// Runs `body` in a ForkedChild with the given standard input, capturing its output; a child that waits for
// input it never gets ends as "signal 14".
inline ChildRun runInChild(const std::function<int()>& body, ChildInput input, const std::string& typed = "",
                           unsigned limitSeconds = 10) {
    int typing = posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_TRUE(typing >= 0 && grantpt(typing) == 0 && unlockpt(typing) == 0);
    const int terminal = open(ptsname(typing), O_RDWR | O_NOCTTY);
    EXPECT_EQ(write(typing, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    StderrFile out, err;
    ForkedChild child(
        [&] {
            const rlimit noCore{0, 0}; // aborting rows leave no core file behind
            setrlimit(RLIMIT_CORE, &noCore);
            int silent[2];
            if (input == ChildInput::Terminal)
                dup2(terminal, 0);
            else if (input == ChildInput::SilentPipe && pipe(silent) == 0)
                dup2(silent[0], 0); // the write end stays open in this child: no end of input
            else
                close(0);
            out.startCapture(1);
            err.startCapture(2);
            return body();
        },
        limitSeconds);
    child.wait();
    close(terminal);
    close(typing);
    return {child.getPid(), child.outcome(), out.contents(), err.contents()};
}

} // namespace base::core::test
