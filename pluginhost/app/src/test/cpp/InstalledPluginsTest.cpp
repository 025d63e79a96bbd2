// Describes every VST 2 module installed by the Debian plug-in packages, each in its own child process,
// so that one misbehaving plug-in fails only its own test.

#include "PluginHostProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> PLUGIN_DIRECTORIES = {"/usr/lib/vst", "/usr/lib/lxvst"};

// Shared objects, and bundle directories as a whole.
std::vector<std::string> findModules() {
    std::vector<std::string> modules;
    for (const std::string& directory : PLUGIN_DIRECTORIES) {
        std::error_code error;
        if (!fs::is_directory(directory, error))
            continue;
        for (auto it = fs::recursive_directory_iterator(directory, error);
             it != fs::recursive_directory_iterator(); it.increment(error)) {
            const std::string name = it->path().filename().string();
            if (it->is_directory() && name.ends_with(".vst")) {
                modules.push_back(it->path().string());
                it.disable_recursion_pending();
            } else if (!it->is_directory() && name.ends_with(".so")) {
                modules.push_back(it->path().string());
            }
        }
    }
    std::sort(modules.begin(), modules.end());
    return modules;
}

// Whether the module exports a VST 2 entry function; packages also install support libraries beside
// their plug-ins. Asked of binutils so that the host's own look-up is not what is being checked.
bool exportsEntryFunction(const std::string& module) {
    fs::path file = module;
    if (fs::is_directory(file)) {
        for (const fs::directory_entry& entry : fs::directory_iterator(file)) {
            if (entry.path().extension() == ".so")
                file = entry.path();
        }
    }
    FILE* pipe = popen(("nm -D --defined-only " + shellQuote(file.string()) + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return true;
    std::string symbols;
    std::array<char, 4096> buffer;
    while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe))
        symbols.append(buffer.data(), n);
    pclose(pipe);
    std::istringstream lines(symbols);
    for (std::string line; std::getline(lines, line);) {
        for (const char* name : {" VSTPluginMain", " main_macho", " main"}) {
            if (line.ends_with(name))
                return true;
        }
    }
    return false;
}

const char* const BLOCK_KEYS[] = {
    "PLUGIN:",
    "Vendor:",
    "Name:",
    "API:VST 2.4",
    "Identifier:",
    "Version:",
    "Category:",
    "Is64Bit:yes",
    "HasAudioInput:",
    "HasNoteInput:",
    "HasAudioOutput:",
    "HasNoteOutput:",
    "AudioInBusCount:",
    "AudioOutBusCount:",
    "AudioInChannelCount:",
    "AudioOutChannelCount:",
    "DeviceTypes:",
};

// Checks that the report, after its header, is a sequence of complete blocks each followed by an
// empty line.
void expectCompleteBlocks(const std::string& report) {
    std::vector<std::string> lines;
    std::istringstream in(report);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_TRUE(lines[0].starts_with("Printing plug-in meta data for ")) << lines[0];
    EXPECT_EQ(lines[1], "");
    size_t next = 2;
    int blocks = 0;
    // Plug-ins may print their own lines to standard output; only the report's lines are checked.
    while (next < lines.size()) {
        if (lines[next] != "PLUGIN:") {
            EXPECT_FALSE(lines[next].starts_with("Exception")) << lines[next];
            ++next;
            continue;
        }
        for (const char* key : BLOCK_KEYS) {
            ASSERT_LT(next, lines.size()) << "block cut short before " << key;
            EXPECT_TRUE(lines[next].starts_with(key)) << "expected " << key << ", got " << lines[next];
            ++next;
        }
        // A comma-separated list of the four device-type words.
        std::istringstream types(lines[next - 1].substr(std::string("DeviceTypes:").size()));
        int words = 0;
        for (std::string word; std::getline(types, word, ',');) {
            EXPECT_TRUE(word == "audio_to_audio" || word == "note_to_audio" || word == "note_to_note" ||
                        word == "audio_to_note")
                << lines[next - 1];
            ++words;
        }
        EXPECT_GE(words, 1) << lines[next - 1];
        ++blocks;
    }
    EXPECT_GE(blocks, 1);
}

std::string testName(const testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    std::replace_if(
        name.begin(), name.end(), [](unsigned char c) { return !std::isalnum(c); }, '_');
    return name;
}

class InstalledPlugin : public testing::TestWithParam<std::string> {};

} // namespace

TEST_P(InstalledPlugin, IsDescribedCompletely) {
    const std::string& module = GetParam();
    PluginHostRun result = runPluginHost("info " + shellQuote(module));
    if (result.exitStatus != 0 && !exportsEntryFunction(module))
        GTEST_SKIP() << module << " is not a plug-in module (no VST 2 entry function)";
    EXPECT_EQ(result.exitStatus, 0) << result.output << result.errors;
    expectCompleteBlocks(result.output);
}

INSTANTIATE_TEST_SUITE_P(Vst2, InstalledPlugin, testing::ValuesIn(findModules()), testName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(InstalledPlugin);

class InstalledPluginDirectory : public testing::TestWithParam<std::string> {};

TEST_P(InstalledPluginDirectory, HoldsModules) {
    const std::string& directory = GetParam();
    if (!fs::is_directory(directory))
        GTEST_SKIP() << directory << " does not exist; scripts/setup.sh installs the plug-in packages";
    const std::vector<std::string> modules = findModules();
    EXPECT_TRUE(std::any_of(modules.begin(), modules.end(),
                            [&](const std::string& module) { return module.starts_with(directory + "/"); }));
}

INSTANTIATE_TEST_SUITE_P(Vst2, InstalledPluginDirectory, testing::ValuesIn(PLUGIN_DIRECTORIES), testName);
