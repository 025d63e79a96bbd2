#include "PluginHostProcess.h"
#include "ProcessTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string UNKNOWN_ACTION =
    "plugin-host: unknown action; allowed values are [debug|list|info|host].\n";
const std::string MISSING_FILE = "Error: file does not exists.\n";

} // namespace

TEST(CommandLine, WrongArgumentsAreRefusedWithTheUsage) {
    base::core::test::ScriptDirectory directory;
    const std::string report = directory.file("out.txt");
    // The usage text itself is data; that every refusal ends with the whole of it is what is checked.
    const std::string usage = runPluginHost("").output;
    EXPECT_TRUE(usage.starts_with("\nUsage:\n  plugin-host <action> <vstpath>\n")) << usage;
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
        {"list /does/not/exist", MISSING_FILE},
        {"host a /does/not/exist", MISSING_FILE},
        {"info-file " + shellQuote(report) + " /x/y.vst", MISSING_FILE},
    };
    for (const auto& c : cases) {
        PluginHostRun result = runPluginHost(c.arguments);
        EXPECT_EQ(result.output, c.reason + usage) << "arguments: " << c.arguments;
        EXPECT_EQ(result.exitStatus, 255) << "arguments: " << c.arguments;
    }
    EXPECT_FALSE(std::filesystem::exists(report));
}
