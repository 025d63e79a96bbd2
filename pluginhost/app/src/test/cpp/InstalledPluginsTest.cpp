// Describes every VST 2 module installed by the Debian plug-in packages, each in its own child process,
// so that one misbehaving plug-in fails only its own test.

#include "PluginHostProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Shared objects, and bundle directories as a whole.
std::vector<std::string> findModules() {
    std::vector<std::string> modules;
    for (const char* directory : {"/usr/lib/vst", "/usr/lib/lxvst"}) {
        std::error_code error;
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
bool exportsEntryFunction(fs::path module) {
    if (fs::is_directory(module)) {
        for (const fs::directory_entry& entry : fs::directory_iterator(module)) {
            if (entry.path().extension() == ".so")
                module = entry.path();
        }
    }
    return std::system(("nm -D --defined-only " + shellQuote(module.string()) +
                        " 2>/dev/null | grep -qE ' (VSTPluginMain|main_macho|main)$'")
                           .c_str()) == 0;
}

const std::string YES_NO = "(yes|no)\n";
const std::string COUNT = "[0-9]+\n";
const std::string DEVICE_TYPE = "(audio_to_audio|note_to_audio|note_to_note|audio_to_note)";
const std::regex BLOCK("PLUGIN:\nVendor:.*\nName:.*\nAPI:VST 2\\.4\nIdentifier:.*\nVersion:.*\nCategory:.*\n"
                       "Is64Bit:yes\nHasAudioInput:" +
                       YES_NO + "HasNoteInput:" + YES_NO + "HasAudioOutput:" + YES_NO +
                       "HasNoteOutput:" + YES_NO + "AudioInBusCount:" + COUNT + "AudioOutBusCount:" + COUNT +
                       "AudioInChannelCount:" + COUNT + "AudioOutChannelCount:" + COUNT +
                       "DeviceTypes:" + DEVICE_TYPE + "(," + DEVICE_TYPE + ")*\n\n");

std::string testName(const testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    std::replace_if(
        name.begin(), name.end(), [](unsigned char c) { return !std::isalnum(c); }, '_');
    return name;
}

class InstalledPlugin : public testing::TestWithParam<std::string> {};

} // namespace

// After the header, complete blocks; plug-ins may print lines of their own in between.
TEST_P(InstalledPlugin, IsDescribedCompletely) {
    const std::string& module = GetParam();
    PluginHostRun result = runPluginHost("info " + shellQuote(module));
    if (result.exitStatus != 0 && !exportsEntryFunction(module))
        GTEST_SKIP() << module << " is not a plug-in module (no VST 2 entry function)";
    EXPECT_EQ(result.exitStatus, 0) << result.output << result.errors;
    const std::string& report = result.output;
    EXPECT_TRUE(report.starts_with("Printing plug-in meta data for " + module + " ...\n\n")) << report;
    const auto blocks = std::distance(std::sregex_iterator(report.begin(), report.end(), BLOCK), {});
    size_t starts = 0;
    for (size_t at = report.find("PLUGIN:\n"); at != std::string::npos; at = report.find("PLUGIN:\n", at + 1))
        ++starts;
    EXPECT_GE(blocks, 1) << report;
    EXPECT_EQ(static_cast<size_t>(blocks), starts) << report;
    EXPECT_EQ(report.find("\nException"), std::string::npos) << report;
}

// No installed module at all fails the suite: the instantiation is then empty.
INSTANTIATE_TEST_SUITE_P(Vst2, InstalledPlugin, testing::ValuesIn(findModules()), testName);
