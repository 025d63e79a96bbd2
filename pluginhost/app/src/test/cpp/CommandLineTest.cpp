#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace {

struct RunResult {
    std::string output;
    int exitStatus;
};

RunResult run(const std::string& arguments) {
    const std::string command = std::string(PLUGIN_HOST_EXECUTABLE) + " " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    RunResult result{{}, -1};
    std::array<char, 4096> buffer;
    while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe))
        result.output.append(buffer.data(), n);
    const int status = pclose(pipe);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

const char* const USAGE = "\n"
                          "Usage:\n"
                          "  plugin-host <action> <vstpath>\n"
                          "\n"
                          "  <action>  is one of list|info|info-file|test|test-local|host\n"
                          "  <vstpath> is either ...\n"
                          "  ... the path to a VST directory for the action debug and list.\n"
                          "  ... the path to a VST file for the actions info and host.\n"
                          "\n"
                          "Examples:\n"
                          "  plugin-host debug /path/to/vstdir\n"
                          "  plugin-host list /path/to/vstdir\n"
                          "  plugin-host info /path/to/vstfile\n"
                          "  plugin-host info-file /path/to/info-file /path/to/vstfile\n"
                          "  plugin-host host inputpipe outputpipe\n"
                          "\n";

} // namespace

TEST(CommandLine, WithoutActionPrintsUsageAndFails) {
    for (const char* arguments : {"", "list"}) {
        RunResult result = run(arguments);
        EXPECT_EQ(result.output, USAGE) << "arguments: " << arguments;
        EXPECT_EQ(result.exitStatus, 255) << "arguments: " << arguments;
    }
}
