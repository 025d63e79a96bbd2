#include "PluginHostProcess.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

PluginHostRun runPluginHost(const std::string& arguments, int timeoutSeconds) {
    char errorsPath[] = "/tmp/plugin-host-test-stderr-XXXXXX";
    const int errorsFd = mkstemp(errorsPath);
    if (errorsFd < 0)
        throw std::runtime_error("mkstemp failed");
    close(errorsFd);

    const std::string command = "timeout " + std::to_string(timeoutSeconds) + " " +
                                shellQuote(PLUGIN_HOST_EXECUTABLE) + " " + arguments + " 2>" + errorsPath;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        throw std::runtime_error("popen failed: " + command);
    PluginHostRun result{{}, {}, -1};
    std::array<char, 4096> buffer;
    while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe))
        result.output.append(buffer.data(), n);
    const int status = pclose(pipe);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.errors = readFile(errorsPath);
    unlink(errorsPath);
    return result;
}
