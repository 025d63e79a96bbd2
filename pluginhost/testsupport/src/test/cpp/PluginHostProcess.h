#pragma once

#include <string>

// Runs the real plugin-host executable in a child process, bounded by `timeout` so that a hanging
// plug-in cannot stall the test run.
struct PluginHostRun {
    std::string output; // standard output
    std::string errors; // standard error
    int exitStatus;     // -1 when the process did not exit normally
};

// `arguments` follow the executable on a shell command line; quote paths with shellQuote.
PluginHostRun runPluginHost(const std::string& arguments, int timeoutSeconds = 60);
std::string shellQuote(const std::string& text);
std::string readFile(const std::string& path);
