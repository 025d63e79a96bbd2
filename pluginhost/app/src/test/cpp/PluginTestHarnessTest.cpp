// The test actions over the project's test plug-ins, through the real executable: verdicts, progress lines,
// summary and exit status, in a child host per plug-in (test) and in this process (test-local).

#include "PluginHostProcess.h"
#include "ProcessTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string PASSED = "passed";
const std::string CRASHED = "Could not test plug-in: Plugin host died: ";
const std::string STUCK =
    "Could not test plug-in: Plugin host died: Process call of instance 1 (256 frames) not "
    "answered after ";

struct Module {
    const char* built;
    const char* linkedAs; // below the tested directory
    std::string verdict;  // a failure's message, or the start of it
    bool inProcess;       // also tested by test-local (plug-ins that neither crash nor hang)
};

const Module MODULES[] = {
    {VST2_TESTDESCRIBER, "TestDescriber.so", PASSED, true},
    {VST2_TESTMIDIECHO, "nested/TestMidiEcho.so", PASSED, true},
    {VST2_TESTBADMAGIC, "TestBadMagic.so", "Could not test plug-in: createAEffectInstance returned NULL.",
     true},
    {VST2_TESTOVERRUN, "TestOverrun.so",
     "Error rendering audio :Error rendering audio: Plugin wrote outside of the supplied buffers.", true},
    {VST2_TESTCRASHER, "TestCrasher.so", CRASHED, false},
    {VST2_TESTSTUCKPROCESS, "TestStuckProcess.so", STUCK, false},
};

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// A directory of links to the chosen modules, beside a file that is no module; the saved presets land here.
struct TestedDirectory {
    explicit TestedDirectory(bool inProcessOnly) {
        char pattern[] = "/tmp/plugin-host-harness-XXXXXX";
        if (!mkdtemp(pattern))
            throw std::runtime_error("mkdtemp failed");
        path = pattern;
        fs::create_directories(path / "nested");
        for (const Module& module : MODULES) {
            if (module.inProcess || !inProcessOnly)
                fs::create_symlink(module.built, path / module.linkedAs);
        }
        std::ofstream(path / "readme.txt") << "not a plug-in\n";
    }
    ~TestedDirectory() { fs::remove_all(path); }
    fs::path path;
};

// One run per action, shared by the checks below; a user of its own keeps the pipes apart from other runs.
struct HarnessRun {
    HarnessRun(const char* action, bool inProcessOnly) : directory(inProcessOnly) {
        const std::string user = "harness" + std::to_string(getpid());
        base::core::test::ScopedUser scopedUser(user.c_str());
        run = runPluginHost(std::string(action) + " " + shellQuote(directory.path.string()), 100);
    }
    // The summary's verdict of each tested module, by its link name.
    std::map<std::string, std::string> verdicts() const {
        std::map<std::string, std::string> found;
        for (const std::string& line : linesOf(run.output)) {
            const std::string prefix = "    " + directory.path.string() + "/";
            if (line.rfind(prefix, 0) != 0)
                continue;
            const std::string rest = line.substr(prefix.size());
            const size_t separator = rest.find(":      ");
            if (separator == std::string::npos)
                found[rest] = PASSED;
            else
                found[rest.substr(0, separator)] = rest.substr(separator + 7);
        }
        return found;
    }
    TestedDirectory directory;
    PluginHostRun run;
};

class PluginTestHarness : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sandboxed = new HarnessRun("test", false);
        local = new HarnessRun("test-local", true);
    }
    static void TearDownTestSuite() {
        delete sandboxed;
        delete local;
    }
    static HarnessRun* sandboxed;
    static HarnessRun* local;
};

HarnessRun* PluginTestHarness::sandboxed = nullptr;
HarnessRun* PluginTestHarness::local = nullptr;

TEST_F(PluginTestHarness, EachModuleGetsItsVerdictAndTheExitStatusCountsTheFailures) {
    for (HarnessRun* run : {sandboxed, local}) {
        const auto verdicts = run->verdicts();
        int failures = 0;
        size_t tested = 0;
        for (const Module& module : MODULES) {
            if (run == local && !module.inProcess)
                continue;
            ++tested;
            failures += module.verdict != PASSED;
            const auto found = verdicts.find(module.linkedAs);
            ASSERT_NE(found, verdicts.end()) << module.linkedAs << "\n" << run->run.output;
            EXPECT_EQ(found->second.rfind(module.verdict, 0), 0u) << module.linkedAs << ": " << found->second;
        }
        EXPECT_EQ(verdicts.size(), tested) << run->run.output;
        EXPECT_EQ(run->run.exitStatus, failures) << run->run.errors;
        // Each failure reaches the error stream as well, and the manager names a host's death there.
        if (run == sandboxed)
            EXPECT_NE(
                run->run.errors.find("Remote plugin process died on a different thread to the main thread: "),
                std::string::npos)
                << run->run.errors;
        EXPECT_NE(run->run.output.find("\n\nFailed plugins:\n\n"), std::string::npos);
        EXPECT_NE(
            run->run.errors.find("Error rendering audio: Plugin wrote outside of the supplied buffers.\n"),
            std::string::npos)
            << run->run.errors;
        EXPECT_NE(run->run.output.find("\n\nPassed : " + std::to_string(tested - failures) +
                                       " Failed: " + std::to_string(failures) + "\n"),
                  std::string::npos);
    }
}

// A plug-in with an editor and three programs walks every step, in order; the audio thread's own line may
// fall anywhere after the creation, so it is checked on its own.
TEST_F(PluginTestHarness, APassingPlugInShowsEveryStepInOrder) {
    const std::string tested = (sandboxed->directory.path / "TestDescriber.so").string();
    const std::string output = sandboxed->run.output;
    const size_t begin = output.find("Testing plugin " + tested + "\n");
    ASSERT_NE(begin, std::string::npos) << output;
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
    for (const std::string& line : linesOf(output.substr(begin, end - begin + tested.size() + 9))) {
        audioEngineLines += line == "Running test audio engine";
        for (const std::string& step : expected) {
            if (line == step) {
                steps.push_back(line);
                break;
            }
        }
    }
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(audioEngineLines, 1);
    const std::string separator = "\n\n" + std::string(68, '-') + "\n\n";
    ASSERT_GE(begin, separator.size());
    EXPECT_EQ(output.substr(begin - separator.size(), separator.size()), separator);
    EXPECT_TRUE(fs::is_regular_file(sandboxed->directory.path / "TestDescriber-test.fxb"));
}

TEST(PluginTestHarnessEdges, ADirectoryWithoutModulesPassesNothingAndFailsNothing) {
    char pattern[] = "/tmp/plugin-host-harness-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::ofstream(fs::path(pattern) / "readme.txt") << "not a plug-in\n";
    for (const char* action : {"test", "test-local"}) {
        const PluginHostRun run = runPluginHost(std::string(action) + " " + pattern);
        EXPECT_EQ(run.output, "Passed plugins:\n\n\n\nPassed : 0 Failed: 0\n") << action;
        EXPECT_EQ(run.exitStatus, 0) << action;
    }
    fs::remove_all(pattern);
}

} // namespace

// One module of each installed package; the whole of /usr/lib/vst takes minutes (see the README's known
// results), too long for every run of the suite.
TEST(PluginTestHarnessEdges, InstalledPlugInsPass) {
    char pattern[] = "/tmp/plugin-host-harness-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path directory = pattern;
    for (const char* module : {"/usr/lib/vst/3BandEQ-vst.so", "/usr/lib/vst/ZamComp-vst.so",
                               "/usr/lib/vst/lsp-plugins/compressor-stereo.so"})
        fs::create_symlink(module, directory / fs::path(module).filename());
    const std::string user = "harness" + std::to_string(getpid());
    base::core::test::ScopedUser scopedUser(user.c_str());
    const PluginHostRun run = runPluginHost("test " + shellQuote(directory.string()), 100);
    EXPECT_EQ(run.exitStatus, 0) << run.output << run.errors;
    EXPECT_NE(run.output.find("\n\nPassed : 3 Failed: 0\n"), std::string::npos) << run.output;
    fs::remove_all(directory);
}
