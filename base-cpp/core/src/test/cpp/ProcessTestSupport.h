#pragma once

// Helpers for tests that use real processes: a forked peer whose life is bounded, and capture of the
// standard error stream.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace base::core::test {

// Runs `body` in a forked child whose exit status is body's result (99 when it throws). The child is killed
// by an alarm after `limitSeconds`, so waiting for it is bounded. Once the child has ended, and until wait()
// or destruction, the FIFO files named in `fifosToRelease` are opened and closed again and again, which
// releases every open of this process still waiting for the child to connect.
class ForkedChild {
public:
    explicit ForkedChild(const std::function<int()>& body, std::vector<std::string> fifosToRelease = {},
                         unsigned limitSeconds = 20)
        : fifos(std::move(fifosToRelease)) {
        pid = fork();
        if (pid == 0) {
            alarm(limitSeconds);
            int result;
            try {
                result = body();
            } catch (...) {
                result = 99;
            }
            std::cout.flush();
            std::cerr.flush();
            _exit(result);
        }
        if (pid > 0)
            watcher = std::thread([this] { watch(); });
    }
    ForkedChild(const ForkedChild&) = delete;
    ForkedChild& operator=(const ForkedChild&) = delete;
    ~ForkedChild() {
        if (watcher.joinable()) {
            kill(pid, SIGKILL);
            stopWatching();
        }
    }

    pid_t getPid() const { return pid; }

    // The child's exit status, or -1 when it did not exit normally (killed by the alarm, crashed).
    int wait() {
        if (watcher.joinable())
            stopWatching();
        return status;
    }

private:
    void watch() {
        int raw = 0;
        pid_t result;
        do {
            result = waitpid(pid, &raw, 0);
        } while (result < 0 && errno == EINTR);
        std::unique_lock<std::mutex> lock(mutex);
        status = result == pid && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        if (fifos.empty())
            return;
        do {
            for (const std::string& fifo : fifos) {
                const int descriptor = open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
                if (descriptor >= 0)
                    close(descriptor);
            }
        } while (!stopped.wait_for(lock, std::chrono::milliseconds(20), [this] { return stop; }));
    }

    void stopWatching() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stop = true;
        }
        stopped.notify_all();
        watcher.join();
    }

    pid_t pid = -1;
    int status = -1;
    std::vector<std::string> fifos;
    std::mutex mutex;
    std::condition_variable stopped;
    bool stop = false;
    std::thread watcher;
};

// A temporary file that receives standard error (file descriptor 2), in this process or in a forked child.
class StderrFile {
public:
    StderrFile() {
        char name[] = "/tmp/base-core-stderr-XXXXXX";
        descriptor = mkstemp(name);
        if (descriptor >= 0)
            unlink(name);
    }
    StderrFile(const StderrFile&) = delete;
    StderrFile& operator=(const StderrFile&) = delete;
    ~StderrFile() {
        stopCapture();
        if (descriptor >= 0)
            close(descriptor);
    }

    bool isValid() const { return descriptor >= 0; }

    // Points descriptor 2 at the file until stopCapture (in a forked child: for good).
    void startCapture() {
        std::cerr.flush();
        std::fflush(stderr);
        savedStderr = dup(2);
        dup2(descriptor, 2);
    }
    void stopCapture() {
        if (savedStderr < 0)
            return;
        std::cerr.flush();
        std::fflush(stderr);
        dup2(savedStderr, 2);
        close(savedStderr);
        savedStderr = -1;
    }

    std::string contents() const {
        std::string text;
        char chunk[512];
        ssize_t got;
        off_t offset = 0;
        while ((got = pread(descriptor, chunk, sizeof chunk, offset)) > 0) {
            text.append(chunk, static_cast<size_t>(got));
            offset += got;
        }
        return text;
    }

private:
    int descriptor = -1;
    int savedStderr = -1;
};

// Sets or unsets USER for one scope.
class ScopedUser {
public:
    explicit ScopedUser(const char* value) {
        if (const char* old = std::getenv("USER"))
            previous = old;
        if (value)
            setenv("USER", value, 1);
        else
            unsetenv("USER");
    }
    ~ScopedUser() {
        if (previous)
            setenv("USER", previous->c_str(), 1);
        else
            unsetenv("USER");
    }

private:
    std::optional<std::string> previous;
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

} // namespace base::core::test
