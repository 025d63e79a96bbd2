#include "PluginHostProcess.h"
#include "ProcessTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The printed lines, sorted: the walk follows the directory order of the file system.
std::vector<std::string> sortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

void touch(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "x";
}

} // namespace

TEST(ListPlugins, PrintsModuleFilesAndWholeVst3BundlesFoundBelowTheDirectory) {
    base::core::test::ScriptDirectory directory, elsewhere;
    const fs::path root = directory.path;
    touch(root / "a.vst");
    touch(root / "A.VST");
    touch(root / "notes.txt");
    touch(root / "b.vst" / "Contents" / "x86_64-linux" / "b.so");
    touch(root / "b.vst" / "Contents" / "Info.plist");
    touch(root / "deeper" / "still" / "c.so");
    touch(root / "e.vst3" / "Contents" / "x86_64-linux" / "e.so");
    // A linked directory is walked into; a link back up the tree is not walked round and round.
    touch(elsewhere.file("f.so"));
    fs::create_directory_symlink(elsewhere.path, root / "linked");
    fs::create_directory_symlink(root, root / "deeper" / "loop");

    PluginHostRun result = runPluginHost("list " + shellQuote(root.string()), 10);
    EXPECT_EQ(result.exitStatus, 0);
    std::vector<std::string> expected = {(root / "a.vst").string(),
                                         (root / "b.vst" / "Contents" / "x86_64-linux" / "b.so").string(),
                                         (root / "deeper" / "still" / "c.so").string(),
                                         (root / "e.vst3").string(), (root / "linked" / "f.so").string()};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sortedLines(result.output), expected);

    // A file is printed only with a module's name.
    EXPECT_EQ(runPluginHost("list " + shellQuote((root / "a.vst").string())).output,
              (root / "a.vst").string() + "\n");
    EXPECT_EQ(runPluginHost("list " + shellQuote((root / "A.VST").string())).output, "");
}
