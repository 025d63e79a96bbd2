// The test actions over the project's test plug-ins, through the real executable: verdicts, progress lines,
// summary and exit status, in a child host per plug-in (test) and in this process (test-local).

#include "PluginHostProcess.h"
#include "ProcessTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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
    // A plug-in that never returns must not hold the harness: the block's deadline ends its host.
    {VST2_TESTSTUCKPROCESS, "TestStuckProcess.so",
     "Could not test plug-in: Plugin host died: Process call of instance 1 (256 frames) not answered after ",
     false},
};

// The action over a directory of links (target, name) beside a file that is no module; the saved presets
// land there. A user of its own keeps the pipes apart from other runs.
struct HarnessRun {
    HarnessRun(const std::string& action, const std::vector<std::pair<std::string, std::string>>& links) {
        for (const auto& [target, name] : links) {
            fs::create_directories(fs::path(directory.file(name)).parent_path());
            fs::create_symlink(target, directory.file(name));
        }
        std::ofstream(directory.file("readme.txt")) << "not a plug-in\n";
        const std::string user = "harness" + std::to_string(getpid());
        base::core::test::ScopedUser scopedUser(user.c_str());
        run = runPluginHost(action + " " + shellQuote(directory.path), 100);
    }
    base::core::test::ScriptDirectory directory;
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

// A plug-in with an editor and three programs walks the steps in order (a sample of them checked here) and
// sets no fourth program; the audio thread's own line may fall anywhere after the creation, so it is counted
// on its own.
void expectEveryStepInOrder(const HarnessRun& run) {
    const std::string tested = run.directory.file(MODULES[0].linkedAs);
    const std::string& output = run.run.output;
    const size_t begin = output.find("\n\n" + std::string(68, '-') + "\n\nTesting plugin " + tested + "\n");
    const size_t end = output.find(tested + " passed!\n", begin);
    ASSERT_NE(end, std::string::npos) << output;
    size_t at = begin;
    for (const char* step :
         {"Successfully created plug-in instance", "Plugin GUI is open",
          "Got reply of type N6plugin15SavePresetReplyE", "Setting current program number 2",
          "Plugin GUI is closed", "Plugin instance destroyed"}) {
        at = output.find("\n" + std::string(step) + "\n", at);
        EXPECT_LT(at, end) << step << " missing or out of order in\n" << output;
    }
    const std::string steps = output.substr(begin, end - begin);
    EXPECT_EQ(steps.find("Setting current program number 3"), std::string::npos);
    size_t audioEngineLines = 0;
    for (at = steps.find("\nRunning test audio engine\n"); at != std::string::npos;
         at = steps.find("\nRunning test audio engine\n", at + 1))
        ++audioEngineLines;
    EXPECT_EQ(audioEngineLines, 1u);
    EXPECT_TRUE(fs::is_regular_file(run.directory.file("nested/TestDescriber-test.fxb")));
}

} // namespace

// The summary lists each module by its path, a failure with its message. Both actions in one test, so that
// the suite runs each of them once.
TEST(PluginTestHarness, EachModuleGetsItsVerdictAndTheExitStatusCountsTheFailures) {
    const HarnessRun sandboxed("test", modules(false));
    const HarnessRun local("test-local", modules(true));
    for (const HarnessRun* run : {&sandboxed, &local}) {
        const std::string& output = run->run.output;
        const std::string prefix = "\n    " + run->directory.path + "/";
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
