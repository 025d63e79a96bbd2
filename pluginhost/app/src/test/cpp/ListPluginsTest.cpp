#include "PluginHostProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
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

class TemporaryDirectory {
public:
    TemporaryDirectory() {
        char pattern[] = "/tmp/plugin-host-list-XXXXXX";
        if (!mkdtemp(pattern))
            throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    ~TemporaryDirectory() { fs::remove_all(path); }
    fs::path path;
};

void touch(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "x";
}

} // namespace

TEST(ListPlugins, PrintsModuleFilesAndWholeVst3BundlesFoundBelowTheDirectory) {
    TemporaryDirectory directory;
    const fs::path& root = directory.path;
    touch(root / "a.vst");
    touch(root / "A.VST");
    touch(root / "notes.txt");
    touch(root / "b.vst" / "Contents" / "x86_64-linux" / "b.so");
    touch(root / "b.vst" / "Contents" / "Info.plist");
    touch(root / "deeper" / "still" / "c.so");
    touch(root / "e.vst3" / "Contents" / "x86_64-linux" / "e.so");
    // A linked directory is walked into; a link back up the tree is not walked round and round.
    TemporaryDirectory elsewhere;
    touch(elsewhere.path / "f.so");
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
}

TEST(ListPlugins, FilePathIsPrintedOnlyWithAModuleName) {
    TemporaryDirectory directory;
    touch(directory.path / "a.vst");
    touch(directory.path / "a.VST");
    EXPECT_EQ(runPluginHost("list " + shellQuote((directory.path / "a.vst").string())).output,
              (directory.path / "a.vst").string() + "\n");
    EXPECT_EQ(runPluginHost("list " + shellQuote((directory.path / "a.VST").string())).output, "");
}

TEST(ListPlugins, ListsTheInstalledModules) {
    const fs::path root = "/usr/lib/vst";
    if (!fs::is_directory(root))
        GTEST_SKIP() << root << " does not exist; install dpf-plugins-vst, lsp-plugins-vst and zam-plugins";
    std::vector<std::string> expected;
    // Directory links are followed, as `list` does (Debian's IEM suite installs its folder as one).
    for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::follow_directory_symlink);
         it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = it->path().filename().string();
        if (it->is_directory() && name.ends_with(".vst3")) {
            expected.push_back(it->path().string());
            it.disable_recursion_pending();
        } else if (!it->is_directory() && (name.ends_with(".so") || name.ends_with(".vst"))) {
            expected.push_back(it->path().string());
        }
    }
    std::sort(expected.begin(), expected.end());
    ASSERT_FALSE(expected.empty());

    PluginHostRun result = runPluginHost("list " + root.string());
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(sortedLines(result.output), expected);
}
