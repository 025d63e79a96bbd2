#include "PluginHostProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

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

const std::string UNKNOWN_ACTION =
    "plugin-host: unknown action; allowed values are [debug|list|info|host].\n";
const std::string MISSING_FILE = "Error: file does not exists.\n";

// A fresh directory, removed with everything in it at the end of the test.
class TemporaryDirectory {
public:
    TemporaryDirectory() {
        char pattern[] = "/tmp/plugin-host-command-line-XXXXXX";
        if (!mkdtemp(pattern))
            throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    ~TemporaryDirectory() { std::filesystem::remove_all(path); }
    std::filesystem::path path;
};

} // namespace

TEST(CommandLine, WithoutActionPrintsUsageAndFails) {
    for (const char* arguments : {"", "list"}) {
        PluginHostRun result = runPluginHost(arguments);
        EXPECT_EQ(result.output, USAGE) << "arguments: " << arguments;
        EXPECT_EQ(result.exitStatus, 255) << "arguments: " << arguments;
    }
}

TEST(CommandLine, UnknownActionOnExistingPathIsRejected) {
    // "debug" appears in the usage text but is no action; "host" with two arguments is not host mode;
    // action words are compared whole and with their letter case.
    for (const char* arguments : {"debug /tmp", "host a /tmp", "INFO /tmp", "lis /tmp"}) {
        PluginHostRun result = runPluginHost(arguments);
        EXPECT_EQ(result.output, UNKNOWN_ACTION + USAGE) << "arguments: " << arguments;
        EXPECT_EQ(result.exitStatus, 255) << "arguments: " << arguments;
    }
}

TEST(CommandLine, MissingLastArgumentIsRejectedBeforeTheAction) {
    for (const char* arguments : {"debug /does/not/exist", "info /does/not/exist", "list /does/not/exist",
                                  "host a /does/not/exist"}) {
        PluginHostRun result = runPluginHost(arguments);
        EXPECT_EQ(result.output, MISSING_FILE + USAGE) << "arguments: " << arguments;
        EXPECT_EQ(result.exitStatus, 255) << "arguments: " << arguments;
    }
}

TEST(CommandLine, InfoFileChecksThePlugInPathNotTheReportPath) {
    TemporaryDirectory directory;
    const std::string report = (directory.path / "out.txt").string();
    PluginHostRun result = runPluginHost("info-file " + shellQuote(report) + " /x/y.vst");
    EXPECT_EQ(result.output, MISSING_FILE + USAGE);
    EXPECT_EQ(result.exitStatus, 255);
    EXPECT_FALSE(std::filesystem::exists(report));
}

TEST(CommandLine, ReportFileThatCannotBeCreatedFails) {
    PluginHostRun result =
        runPluginHost("info-file /does/not/exist/out.txt " + shellQuote(VST2_TESTMAINONLY));
    EXPECT_EQ(result.output, "");
    EXPECT_NE(result.errors.find("Could not open file \"/does/not/exist/out.txt\" for writing"),
              std::string::npos)
        << result.errors;
    EXPECT_NE(result.exitStatus, 0);
}
