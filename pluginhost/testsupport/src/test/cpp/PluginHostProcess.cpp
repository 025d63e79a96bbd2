#include "PluginHostProcess.h"

#include "ProcessTestSupport.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>

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
    const std::string command = "timeout " + std::to_string(timeoutSeconds) + " " +
                                shellQuote(PLUGIN_HOST_EXECUTABLE) + " " + arguments;
    // The child inherits standard error as it is while popen starts it.
    base::core::test::StderrFile errors;
    errors.startCapture();
    FILE* pipe = popen(command.c_str(), "r");
    errors.stopCapture();
    if (!pipe)
        throw std::runtime_error("popen failed: " + command);
    PluginHostRun result{{}, {}, -1};
    std::array<char, 4096> buffer;
    while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe))
        result.output.append(buffer.data(), n);
    const int status = pclose(pipe);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.errors = errors.contents();
    return result;
}
