#include "PluginHostProcess.h"
#include "ProcessTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string header(const std::string& path) {
    return "Printing plug-in meta data for " + path + " ...\n\n";
}

// A complete block from its values in report order, separated by '|', and the empty line after it.
std::string block(const std::string& values) {
    std::string text = "PLUGIN:\n";
    std::istringstream in(values);
    std::string value;
    for (const char* key :
         {"Vendor", "Name", "API", "Identifier", "Version", "Category", "HasAudioInput", "HasNoteInput",
          "HasAudioOutput", "HasNoteOutput", "AudioInBusCount", "AudioOutBusCount", "AudioInChannelCount",
          "AudioOutChannelCount", "DeviceTypes"}) {
        std::getline(in, value, '|');
        text +=
            std::string(key) + ":" + value + "\n" + (key == std::string("Category") ? "Is64Bit:yes\n" : "");
    }
    return text + "\n";
}

std::string stereoEffect(const std::string& name, const std::string& identifier,
                         const std::string& version = "1000") {
    return block("Zelvar Test|" + name + "|VST 2.4|" + identifier + "|" + version +
                 "|Effect|yes|no|yes|no|1|1|2|2|audio_to_audio");
}

PluginHostRun info(const std::string& module) {
    return runPluginHost("info " + shellQuote(module));
}

const std::string SINGLE =
    block("Zelvar Test Plug-ins|Test Single|VST 3|5A454C5633534E474C45000000000001|1.2.3|"
          "Delay|yes|no|yes|no|2|1|3|2|audio_to_audio");
const std::string MAIN_ONLY = stereoEffect("Main Only", "5a744d4f", "7");

} // namespace

TEST(PluginInfo, EachPlugInOfTheModuleGetsItsBlock) {
    const struct {
        const char* module;
        std::string blocks;
        int exitStatus;
    } cases[] = {
        // In enumeration order.
        {VST2_TESTSHELL,
         stereoEffect("Shell Effect", "41424344") +
             block(
                 "Zelvar Test|Shell Synth|VST 2.4|80000001|2001|Synth|no|yes|yes|no|0|1|0|2|note_to_audio") +
             block("Zelvar Test|Shell Analyser|VST 2.4|abc|3|Analysis|yes|no|no|yes|1|0|1|0|audio_to_note"),
         0},
        {VST2_TESTEMPTYSHELL, "Exception Thrown:Shell plug-in is empty\n", 255},
        // A plug-in that cannot be created fails only its own block.
        {VST2_TESTFAILINGSHELL,
         stereoEffect("First Member", "5a744631") +
             "Exception Thrown:createAEffectInstance returned NULL.\n\n" +
             stereoEffect("Last Member", "5a744633"),
         1},
        // An entry result without the magic counts as no effect.
        {VST2_TESTBADMAGIC, "Exception Thrown:createAEffectInstance returned NULL\n", 255},
        {VST2_TESTMAINONLY, MAIN_ONLY, 0},
        // Vendor in UTF-8, name in Latin-1; 4 inputs as a stereo pin, a mono pin and one undescribed channel;
        // 6 undescribed outputs as three pairs and six singles; category 12 is beyond the known ones.
        {VST2_TESTDESCRIBER,
         block("Zelvar T\xc3\xabst|Gr\xc3\xbcn Describer|VST 2.4|5a744465|1234|Other|yes|yes|yes|yes|3|9|4|6|"
               "audio_to_audio,note_to_note,audio_to_note"),
         0},
        // One VST 3 bundle; its categories, buses and classes are pinned by the library's tests.
        {VST3_TESTVST3SINGLE, SINGLE, 0},
    };
    for (const auto& c : cases) {
        PluginHostRun result = info(c.module);
        EXPECT_EQ(result.output, header(c.module) + c.blocks);
        EXPECT_EQ(result.exitStatus, c.exitStatus) << c.module;
    }
}

TEST(PluginInfo, ModulesAreFoundInBundlesOrNamedWhenTheyCannotBeLoaded) {
    base::core::test::ScriptDirectory directory;
    const fs::path conventional = directory.file("Main Only.vst");
    fs::create_directories(conventional / "Contents" / "x86_64-linux");
    fs::copy_file(VST2_TESTMAINONLY, conventional / "Contents" / "x86_64-linux" / "Main Only.so");
    // Without the conventional layout the only shared object directly inside is taken.
    const fs::path flat = directory.file("Flat.vst");
    fs::create_directory(flat);
    fs::copy_file(VST2_TESTMAINONLY, flat / "whatever.so");
    std::ofstream(flat / "readme.txt") << "not a module\n";
    // A plain shared object whose name ends in "vst3" is loaded as it is.
    const fs::path vst3File = directory.file("Single.vst3");
    fs::copy_file(fs::path(VST3_TESTVST3SINGLE) / "Contents" / "x86_64-linux" / "TestVst3Single.so",
                  vst3File);
    const fs::path notAModule = directory.file("NotAModule.so");
    std::ofstream(notAModule) << "not a shared object\n";
    const fs::path emptyBundle = directory.file("Empty.vst");
    fs::create_directory(emptyBundle);
    const fs::path emptyVst3 = directory.file("Empty.vst3");
    fs::create_directories(emptyVst3 / "Contents" / "x86_64-linux");

    const struct {
        fs::path module;
        std::string blocks;
        std::string error; // the loader's reason on the error stream
    } cases[] = {
        {conventional, MAIN_ONLY, ""},     {flat, MAIN_ONLY, ""},          {vst3File, SINGLE, ""},
        {notAModule, "", "NotAModule.so"}, {emptyBundle, "", "Empty.vst"}, {emptyVst3, "", "Empty.so"},
    };
    for (const auto& c : cases) {
        PluginHostRun result = info(c.module.string());
        const bool loads = c.error.empty();
        EXPECT_EQ(result.output,
                  header(c.module) +
                      (loads ? c.blocks
                             : "Exception Thrown:Couldn't load VST plug-in: " + c.module.string() + "\n"));
        EXPECT_EQ(result.exitStatus, loads ? 0 : 255) << c.module;
        EXPECT_NE(result.errors.find(c.error), std::string::npos) << c.module << ": " << result.errors;
    }
}

// The report goes into the file only.
TEST(PluginInfo, InfoFileWritesTheReportIntoTheFileOnly) {
    base::core::test::ScriptDirectory directory;
    const std::string report = directory.file("out.txt");
    std::ofstream(report) << "an older report that is replaced\n";
    PluginHostRun result =
        runPluginHost("info-file " + shellQuote(report) + " " + shellQuote(VST2_TESTFAILINGSHELL));
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(readFile(report), info(VST2_TESTFAILINGSHELL).output);
}
