// The test actions over the project's test plug-ins, through the real executable: verdicts, progress lines,
// summary and exit status, in a child host per plug-in (test) and in this process (test-local).

#include "PluginHostProcess.h"
#include "ProcessTestSupport.h"
#include "TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string PASSED = "passed";

// One module for each kind of verdict.
struct Module {
    const char* built;
    const char* linkedAs; // below the tested directory
    std::string verdict;  // a failure's message, or the start of it
    bool inProcess;       // also tested by test-local (plug-ins that do not crash)
};

const Module MODULES[] = {
    {VST2_TESTDESCRIBER, "nested/TestDescriber.so", PASSED, true},
    {VST2_TESTBADMAGIC, "TestBadMagic.so", "Could not test plug-in: createAEffectInstance returned NULL.",
     true},
    {VST2_TESTOVERRUN, "TestOverrun.so",
     "Error rendering audio :Error rendering audio: Plugin wrote outside of the supplied buffers.", true},
    {VST2_TESTCRASHER, "TestCrasher.so", "Could not test plug-in: Plugin host died: ", false},
};

// The action over a directory of links (target, name) beside a file that is no module; the saved presets
// land there. A user of its own keeps the pipes apart from other runs.
struct HarnessRun {
    HarnessRun(const std::string& action, const std::vector<std::pair<std::string, std::string>>& links) {
        for (const auto& [target, name] : links) {
            fs::create_directories((directory.path / name).parent_path());
            fs::create_symlink(target, directory.path / name);
        }
        std::ofstream(directory.path / "readme.txt") << "not a plug-in\n";
        const std::string user = "harness" + std::to_string(getpid());
        base::core::test::ScopedUser scopedUser(user.c_str());
        run = runPluginHost(action + " " + shellQuote(directory.path.string()), 100);
    }
    TemporaryDirectory directory;
    PluginHostRun run;
};

std::vector<std::pair<std::string, std::string>> modules(bool inProcessOnly) {
    std::vector<std::pair<std::string, std::string>> links;
    for (const Module& module : MODULES) {
        if (module.inProcess || !inProcessOnly)
            links.emplace_back(module.built, module.linkedAs);
    }
    return links;
}

// A plug-in with an editor and three programs walks every step, in order, and sets no fourth program; the
// audio thread's own line may fall anywhere after the creation, so it is counted on its own.
void expectEveryStepInOrder(const HarnessRun& run) {
    const std::string tested = (run.directory.path / MODULES[0].linkedAs).string();
    const std::string& output = run.run.output;
    const size_t begin = output.find("Testing plugin " + tested + "\n");
    const size_t end = output.find(tested + " passed!\n", begin);
    ASSERT_NE(end, std::string::npos) << output;
    const std::vector<std::string> expected = {
        "Testing plugin " + tested,
        "Creating plug-in instance",
        "Waiting for reply...",
        "Got reply of type N6plugin25CreatePluginInstanceReplyE",
        "Successfully created plug-in instance",
        "Opening plug-in GUI",
        "Plugin GUI is open",
        "Saving preset",
        "Waiting for reply...",
        "Got reply of type N6plugin15SavePresetReplyE",
        "Setting current program number 0",
        "Setting current program number 1",
        "Setting current program number 2",
        "Closing plug-in GUI",
        "Plugin GUI is closed",
        "Destroying plug-in instance",
        "Plugin instance destroyed",
        tested + " passed!",
    };
    std::vector<std::string> steps;
    int audioEngineLines = 0;
    std::istringstream lines(output.substr(begin, end - begin + tested.size() + 9));
    for (std::string line; std::getline(lines, line);) {
        audioEngineLines += line == "Running test audio engine";
        if (std::find(expected.begin(), expected.end(), line) != expected.end() ||
            line.starts_with("Setting current program number"))
            steps.push_back(line);
    }
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(audioEngineLines, 1);
    const std::string separator = "\n\n" + std::string(68, '-') + "\n\n";
    ASSERT_GE(begin, separator.size());
    EXPECT_EQ(output.substr(begin - separator.size(), separator.size()), separator);
    EXPECT_TRUE(fs::is_regular_file(run.directory.path / "nested" / "TestDescriber-test.fxb"));
}

} // namespace

// The summary lists each module by its path, a failure with its message. Both actions in one test, so that
// the suite runs each of them once.
TEST(PluginTestHarness, EachModuleGetsItsVerdictAndTheExitStatusCountsTheFailures) {
    const HarnessRun sandboxed("test", modules(false));
    const HarnessRun local("test-local", modules(true));
    for (const HarnessRun* run : {&sandboxed, &local}) {
        const std::string& output = run->run.output;
        const std::string prefix = "\n    " + run->directory.path.string() + "/";
        int failures = 0;
        int tested = 0;
        for (const Module& module : MODULES) {
            if (run == &local && !module.inProcess)
                continue;
            ++tested;
            failures += module.verdict != PASSED;
            const std::string line =
                prefix + module.linkedAs + (module.verdict == PASSED ? "\n" : ":      " + module.verdict);
            EXPECT_NE(output.find(line), std::string::npos) << line << "\n" << output;
        }
        int listed = 0;
        for (size_t at = output.find(prefix); at != std::string::npos; at = output.find(prefix, at + 1))
            ++listed;
        EXPECT_EQ(listed, tested) << output;
        EXPECT_EQ(run->run.exitStatus, failures) << run->run.errors;
        EXPECT_NE(output.find("\n\nFailed plugins:\n\n"), std::string::npos);
        EXPECT_NE(output.find("\n\nPassed : " + std::to_string(tested - failures) +
                              " Failed: " + std::to_string(failures) + "\n"),
                  std::string::npos);
        // Each failure reaches the error stream as well, and the manager names a host's death there.
        EXPECT_NE(
            run->run.errors.find("Error rendering audio: Plugin wrote outside of the supplied buffers.\n"),
            std::string::npos)
            << run->run.errors;
        expectEveryStepInOrder(*run);
    }
    EXPECT_NE(
        sandboxed.run.errors.find("Remote plugin process died on a different thread to the main thread: "),
        std::string::npos)
        << sandboxed.run.errors;
}

// An empty directory passes and fails nothing; installed plug-ins of two toolkits pass. The whole of
// /usr/lib/vst takes minutes (see the README's known results), too long for every run of the suite.
TEST(PluginTestHarness, AnEmptyDirectoryPassesNothingAndInstalledPlugInsPass) {
    for (const char* action : {"test", "test-local"}) {
        const HarnessRun empty(action, {});
        EXPECT_EQ(empty.run.output, "Passed plugins:\n\n\n\nPassed : 0 Failed: 0\n") << action;
        EXPECT_EQ(empty.run.exitStatus, 0) << action;
    }
    std::vector<std::pair<std::string, std::string>> links;
    for (const char* module :
         {"/usr/lib/vst/ZamComp-vst.so", "/usr/lib/vst/lsp-plugins/compressor-stereo.so"})
        links.emplace_back(module, fs::path(module).filename());
    const HarnessRun installed("test", links);
    EXPECT_EQ(installed.run.exitStatus, 0) << installed.run.output << installed.run.errors;
    EXPECT_NE(installed.run.output.find("\n\nPassed : 2 Failed: 0\n"), std::string::npos)
        << installed.run.output;
}
