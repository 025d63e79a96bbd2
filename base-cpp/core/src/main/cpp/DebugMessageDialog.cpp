#include "base/core/DebugMessageDialog.h"

#include "base/core/InputStream.h"
#include "base/core/LockGuard.h"
#include "base/core/Mutex.h"
#include "base/core/ProcessException.h"
#include "base/core/StdInputStream.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace base::core {

namespace {

Mutex& consoleMutex() {
    static Mutex mutex;
    return mutex;
}

// One line of standard input without its line break; false when input ended before anything was read.
bool readConsoleLine(std::string& line) {
    line.clear();
    const SmartPtr<InputStream> in = getIn();
    unsigned char byte;
    while (in->readBytes(&byte, 1) == 1) {
        if (byte == '\n')
            return true;
        line += static_cast<char>(byte);
    }
    return !line.empty();
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    return first == std::string::npos ? std::string()
                                      : text.substr(first, text.find_last_not_of(" \t\r") + 1 - first);
}

} // namespace

DebugMessageDialog::DebugMessageDialog(const String& title, const String& message, int width, int height)
    : title(title), message(message), width(width), height(height) {}

void DebugMessageDialog::addOption(const String& label, int resultCode) {
    options.push_back({label, resultCode});
}

int DebugMessageDialog::show() const {
    const char* command = std::getenv("MESSAGE_DIALOG_COMMAND");
    const String program = command ? command : "qmessage";
    int chosen;
    try {
        chosen = runDialogProgram(program);
    } catch (const ProcessException& e) {
        getError()->writeLineAndFlush(StringBuilder() + "Error invoking " + program + ": " + e.getMessage());
        chosen = askOnConsole();
    }
    return options[static_cast<size_t>(chosen)].resultCode;
}

int DebugMessageDialog::runDialogProgram(const String& program) const {
    StringBuilder buttons;
    for (size_t i = 0; i < options.size(); ++i)
        buttons + (i > 0 ? "," : "") + options[i].label;
    const bool hasDefault = defaultOption >= 0 && static_cast<size_t>(defaultOption) < options.size();
    const std::vector<std::string> arguments = {
        program.getStdString(),
        "-geometry",
        std::to_string(width) + "x" + std::to_string(height),
        "-title",
        "Debug Message Dialog (pid = " + std::to_string(getpid()) + ")",
        "-buttons",
        String(buttons).getStdString(),
        "-default",
        hasDefault ? options[static_cast<size_t>(defaultOption)].label.getStdString() : std::string(),
        message.getStdString()};
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    // A program that cannot be executed says why through this close-on-exec pipe, so that a missing program
    // is not mistaken for a bad answer.
    int execReport[2];
    if (pipe2(execReport, O_CLOEXEC) != 0)
        throw ProcessException(StringBuilder() + "Could not fork child process: " + std::strerror(errno));
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[0], argv.data());
        const int error = errno;
        (void)!write(execReport[1], &error, sizeof error);
        _exit(127);
    }
    close(execReport[1]);
    if (child < 0) {
        close(execReport[0]);
        throw ProcessException("Could not fork child process");
    }
    int execError = 0;
    ssize_t got;
    do {
        got = read(execReport[0], &execError, sizeof execError);
    } while (got < 0 && errno == EINTR);
    close(execReport[0]);
    int status = 0;
    pid_t waited;
    do {
        waited = waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);

    if (got == static_cast<ssize_t>(sizeof execError))
        throw ProcessException(std::strerror(execError));
    if (waited != child)
        throw ProcessException(StringBuilder() + "Could not wait for the process: " + std::strerror(errno));
    if (!WIFEXITED(status))
        throw ProcessException("Process did not exit normally");
    const int exitCode = WEXITSTATUS(status);
    if (static_cast<size_t>(exitCode) >= options.size())
        throw ProcessException(StringBuilder() + program + " returned a bad exit code");
    return exitCode;
}

int DebugMessageDialog::askOnConsole() const {
    if (!isatty(STDIN_FILENO))
        throw ProcessException("Standard input is not a terminal; nobody can answer");
    LockGuard guard(consoleMutex());
    OutputStream* out = getOut();
    out->writeLine(StringBuilder() + message + "\n");
    for (size_t i = 0; i < options.size(); ++i)
        out->writeLine(StringBuilder() + "    " + static_cast<int>(i) + ": " + options[i].label);
    out->flush();
    std::string line;
    while (readConsoleLine(line)) {
        const std::string text = trimmed(line);
        int choice = -1;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), choice);
        if (error == std::errc() && end == text.data() + text.size() && choice >= 0 &&
            static_cast<size_t>(choice) < options.size())
            return choice;
        if (text.empty())
            out->writeLine("Please enter a valid choice");
        else
            out->writeLine(StringBuilder() + "Invalid choice: " + String(text));
        out->flush();
    }
    throw ProcessException("Standard input ended before a choice was made");
}

} // namespace base::core
