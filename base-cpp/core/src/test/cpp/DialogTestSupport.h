#pragma once

// Helpers for the tests of developer dialogs: scripts in a temporary directory, scoped environment
// variables, and a forked child with a chosen standard input whose output is captured.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace base::core::test {

// A temporary directory, removed with what the test wrote into it.
class ScriptDirectory {
public:
    ScriptDirectory() {
        char name[] = "/tmp/base-core-dialog-XXXXXX";
        if (mkdtemp(name))
            path = name;
    }
    ScriptDirectory(const ScriptDirectory&) = delete;
    ScriptDirectory& operator=(const ScriptDirectory&) = delete;
    ~ScriptDirectory() {
        std::error_code ignored;
        if (!path.empty())
            std::filesystem::remove_all(path, ignored);
    }

    std::string file(const std::string& name) const { return path + "/" + name; }

    // Writes an executable shell script; returns its path.
    std::string script(const std::string& name, const std::string& body) const {
        const std::string scriptPath = file(name);
        std::ofstream(scriptPath) << "#!/bin/sh\n" << body << "\n";
        chmod(scriptPath.c_str(), 0755);
        return scriptPath;
    }

    // The file's contents; empty when it does not exist.
    std::string read(const std::string& name) const {
        std::ostringstream text;
        text << std::ifstream(file(name)).rdbuf();
        return text.str();
    }

    std::string path;
};

// Sets (or, with nullptr, unsets) an environment variable for one scope.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name(name) {
        if (const char* old = std::getenv(name))
            previous = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() { previous ? setenv(name, previous->c_str(), 1) : unsetenv(name); }

private:
    const char* name;
    std::optional<std::string> previous;
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

inline std::string readWhole(int descriptor) {
    std::string text;
    char chunk[512];
    ssize_t got;
    for (off_t offset = 0; (got = pread(descriptor, chunk, sizeof chunk, offset)) > 0; offset += got)
        text.append(chunk, static_cast<size_t>(got));
    close(descriptor);
    return text;
}

// Runs `body` in a forked child whose exit status is body's result; the child is killed by an alarm after
// `limitSeconds`, so a child that waits for input it never gets ends as "signal 14".
inline ChildRun runInChild(const std::function<int()>& body, ChildInput input, const std::string& typed = "",
                           unsigned limitSeconds = 10) {
    ChildRun run;
    int terminal = -1;
    int typing = -1;
    if (input == ChildInput::Terminal) {
        typing = posix_openpt(O_RDWR | O_NOCTTY);
        if (typing < 0 || grantpt(typing) != 0 || unlockpt(typing) != 0)
            return run;
        terminal = open(ptsname(typing), O_RDWR | O_NOCTTY);
        if (write(typing, typed.data(), typed.size()) != static_cast<ssize_t>(typed.size()))
            return run;
    }
    char outName[] = "/tmp/base-core-out-XXXXXX";
    char errName[] = "/tmp/base-core-err-XXXXXX";
    const int out = mkstemp(outName);
    const int err = mkstemp(errName);
    unlink(outName);
    unlink(errName);
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    run.pid = fork();
    if (run.pid == 0) {
        alarm(limitSeconds);
        const rlimit noCore{0, 0}; // aborting rows leave no core file behind
        setrlimit(RLIMIT_CORE, &noCore);
        int silent[2];
        if (input == ChildInput::Terminal)
            dup2(terminal, 0);
        else if (input == ChildInput::SilentPipe && pipe(silent) == 0)
            dup2(silent[0], 0); // the write end stays open in this child: no end of input
        else
            close(0);
        dup2(out, 1);
        dup2(err, 2);
        int result;
        try {
            result = body();
        } catch (...) {
            result = 98;
        }
        std::cout.flush();
        std::cerr.flush();
        std::fflush(nullptr);
        _exit(result);
    }
    int raw = 0;
    while (run.pid > 0 && waitpid(run.pid, &raw, 0) < 0 && errno == EINTR) {
    }
    run.status = WIFEXITED(raw)     ? "exit " + std::to_string(WEXITSTATUS(raw))
                 : WIFSIGNALED(raw) ? "signal " + std::to_string(WTERMSIG(raw))
                                    : "unknown";
    run.out = readWhole(out);
    run.err = readWhole(err);
    if (typing >= 0)
        close(typing);
    if (terminal >= 0)
        close(terminal);
    return run;
}

} // namespace base::core::test
