#include "PluginHostProcess.h"
#include "TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string USAGE = "\n"
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

} // namespace

TEST(CommandLine, WrongArgumentsAreRefusedWithTheUsage) {
    TemporaryDirectory directory;
    const std::string report = (directory.path / "out.txt").string();
    const struct {
        std::string arguments, reason;
    } cases[] = {
        {"", ""},
        {"list", ""},
        // "debug" appears in the usage text but is no action; "host" with two arguments is not host mode;
        // action words are compared whole and with their letter case.
        {"debug /tmp", UNKNOWN_ACTION},
        {"host a /tmp", UNKNOWN_ACTION},
        {"INFO /tmp", UNKNOWN_ACTION},
        {"lis /tmp", UNKNOWN_ACTION},
        // The last argument must exist, whatever the action; for info-file that is the plug-in, not the
        // report.
        {"debug /does/not/exist", MISSING_FILE},
        {"info /does/not/exist", MISSING_FILE},
        {"list /does/not/exist", MISSING_FILE},
        {"host a /does/not/exist", MISSING_FILE},
        {"info-file " + shellQuote(report) + " /x/y.vst", MISSING_FILE},
    };
    for (const auto& c : cases) {
        PluginHostRun result = runPluginHost(c.arguments);
        EXPECT_EQ(result.output, c.reason + USAGE) << "arguments: " << c.arguments;
        EXPECT_EQ(result.exitStatus, 255) << "arguments: " << c.arguments;
    }
    EXPECT_FALSE(std::filesystem::exists(report));
}
