#include "PluginHostProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string header(const std::string& path) {
    return "Printing plug-in meta data for " + path + " ...\n\n";
}

struct Block {
    std::string vendor, name, identifier, version, category;
    bool audioIn, noteIn, audioOut, noteOut;
    int inBuses, outBuses, inChannels, outChannels;
    std::string deviceTypes;
    std::string api = "VST 2.4";
};

std::string yesNo(bool value) {
    return value ? "yes" : "no";
}

// A complete block and the empty line after it.
std::string block(const Block& b) {
    return "PLUGIN:\nVendor:" + b.vendor + "\nName:" + b.name + "\nAPI:" + b.api +
           "\nIdentifier:" + b.identifier + "\nVersion:" + b.version + "\nCategory:" + b.category +
           "\nIs64Bit:yes\nHasAudioInput:" + yesNo(b.audioIn) + "\nHasNoteInput:" + yesNo(b.noteIn) +
           "\nHasAudioOutput:" + yesNo(b.audioOut) + "\nHasNoteOutput:" + yesNo(b.noteOut) +
           "\nAudioInBusCount:" + std::to_string(b.inBuses) +
           "\nAudioOutBusCount:" + std::to_string(b.outBuses) +
           "\nAudioInChannelCount:" + std::to_string(b.inChannels) +
           "\nAudioOutChannelCount:" + std::to_string(b.outChannels) + "\nDeviceTypes:" + b.deviceTypes +
           "\n\n";
}

Block stereoEffect(const std::string& name, const std::string& identifier,
                   const std::string& version = "1000") {
    return {"Zelvar Test", name,  identifier, version, "Effect", true, false,
            true,          false, 1,          1,       2,        2,    "audio_to_audio"};
}

class TemporaryDirectory {
public:
    TemporaryDirectory() {
        char pattern[] = "/tmp/plugin-host-info-XXXXXX";
        if (!mkdtemp(pattern))
            throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    ~TemporaryDirectory() { fs::remove_all(path); }
    fs::path path;
};

PluginHostRun info(const std::string& module) {
    return runPluginHost("info " + shellQuote(module));
}

} // namespace

TEST(PluginInfo, ShellGivesOneBlockPerPlugInInEnumerationOrder) {
    PluginHostRun result = info(VST2_TESTSHELL);
    EXPECT_EQ(result.output, header(VST2_TESTSHELL) + block(stereoEffect("Shell Effect", "41424344")) +
                                 block({"Zelvar Test", "Shell Synth", "80000001", "2001", "Synth", false,
                                        true, true, false, 0, 1, 0, 2, "note_to_audio"}) +
                                 block({"Zelvar Test", "Shell Analyser", "abc", "3", "Analysis", true, false,
                                        false, true, 1, 0, 1, 0, "audio_to_note"}));
    EXPECT_EQ(result.exitStatus, 0);
}

TEST(PluginInfo, EmptyShellFailsTheWholeReport) {
    PluginHostRun result = info(VST2_TESTEMPTYSHELL);
    EXPECT_EQ(result.output, header(VST2_TESTEMPTYSHELL) + "Exception Thrown:Shell plug-in is empty\n");
    EXPECT_EQ(result.exitStatus, 255);
}

TEST(PluginInfo, PlugInThatCannotBeCreatedFailsOnlyItsBlock) {
    PluginHostRun result = info(VST2_TESTFAILINGSHELL);
    EXPECT_EQ(result.output, header(VST2_TESTFAILINGSHELL) + block(stereoEffect("First Member", "5a744631")) +
                                 "Exception Thrown:createAEffectInstance returned NULL.\n\n" +
                                 block(stereoEffect("Last Member", "5a744633")));
    EXPECT_EQ(result.exitStatus, 1);
}

TEST(PluginInfo, EntryResultWithoutMagicCountsAsNoEffect) {
    PluginHostRun result = info(VST2_TESTBADMAGIC);
    EXPECT_EQ(result.output,
              header(VST2_TESTBADMAGIC) + "Exception Thrown:createAEffectInstance returned NULL\n");
    EXPECT_EQ(result.exitStatus, 255);
}

TEST(PluginInfo, ModuleExportingOnlyMainIsDescribed) {
    PluginHostRun result = info(VST2_TESTMAINONLY);
    EXPECT_EQ(result.output, header(VST2_TESTMAINONLY) + block(stereoEffect("Main Only", "5a744d4f", "7")));
    EXPECT_EQ(result.exitStatus, 0);
}

TEST(PluginInfo, DescriptionDecodesTextsAndCountsBuses) {
    // Vendor in UTF-8, name in Latin-1; 4 inputs as a stereo pin, a mono pin and one undescribed channel;
    // 6 undescribed outputs as three pairs and six singles; category 12 is beyond the known ones.
    PluginHostRun result = info(VST2_TESTDESCRIBER);
    EXPECT_EQ(result.output,
              header(VST2_TESTDESCRIBER) +
                  block({"Zelvar T\xc3\xabst", "Gr\xc3\xbcn Describer", "5a744465", "1234", "Other", true,
                         true, true, true, 3, 9, 4, 6, "audio_to_audio,note_to_note,audio_to_note"}));
    EXPECT_EQ(result.exitStatus, 0);
}

TEST(PluginInfo, ModuleThatCannotBeLoadedNamesItsPath) {
    TemporaryDirectory directory;
    const fs::path notAModule = directory.path / "NotAModule.so";
    std::ofstream(notAModule) << "not a shared object\n";
    const fs::path emptyBundle = directory.path / "Empty.vst";
    fs::create_directory(emptyBundle);

    for (const fs::path& module : {notAModule, emptyBundle}) {
        PluginHostRun result = info(module.string());
        EXPECT_EQ(result.output, header(module.string()) +
                                     "Exception Thrown:Couldn't load VST plug-in: " + module.string() + "\n");
        EXPECT_EQ(result.exitStatus, 255);
        // The loader's reason goes to the error stream.
        EXPECT_FALSE(result.errors.empty()) << module;
    }
}

TEST(PluginInfo, BundleDirectoriesLoadTheirSharedObject) {
    TemporaryDirectory directory;
    const fs::path conventional = directory.path / "Main Only.vst";
    fs::create_directories(conventional / "Contents" / "x86_64-linux");
    fs::copy_file(VST2_TESTMAINONLY, conventional / "Contents" / "x86_64-linux" / "Main Only.so");
    // Without the conventional layout the only shared object directly inside is taken.
    const fs::path flat = directory.path / "Flat.vst";
    fs::create_directory(flat);
    fs::copy_file(VST2_TESTMAINONLY, flat / "whatever.so");
    std::ofstream(flat / "readme.txt") << "not a module\n";

    for (const fs::path& bundle : {conventional, flat}) {
        PluginHostRun result = info(bundle.string());
        EXPECT_EQ(result.output, header(bundle.string()) + block(stereoEffect("Main Only", "5a744d4f", "7")));
        EXPECT_EQ(result.exitStatus, 0);
    }
}

TEST(PluginInfo, InfoFileWritesTheReportIntoTheFileOnly) {
    TemporaryDirectory directory;
    const std::string report = (directory.path / "out.txt").string();
    std::ofstream(report) << "an older report that is replaced\n";
    PluginHostRun result =
        runPluginHost("info-file " + shellQuote(report) + " " + shellQuote(VST2_TESTFAILINGSHELL));
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(readFile(report), info(VST2_TESTFAILINGSHELL).output);
}

TEST(PluginInfo, Vst3BundlesAreDescribedByTheirAudioModuleClasses) {
    const struct {
        const char* bundle;
        Block block;
    } cases[] = {
        // A 5.1 main input set back to stereo beside a mono side chain.
        {VST3_TESTVST3SINGLE,
         {"Zelvar Test Plug-ins", "Test Single", "5A454C5633534E474C45000000000001", "1.2.3", "Delay", true,
          false, true, false, 2, 1, 3, 2, "audio_to_audio", "VST 3"}},
        // The controller class is not a device of its own.
        {VST3_TESTVST3TWOCLASS,
         {"Zelvar Test Plug-ins", "Test Two Class", "5A454C56335457434C53000000000001", "2.0.0", "Fx", true,
          false, true, false, 1, 1, 2, 2, "audio_to_audio", "VST 3"}},
        {VST3_TESTVST3INSTRUMENT,
         {"Zelvar Test Plug-ins", "Test Instrument", "5A454C5633494E535452000000000001", "0.9.0",
          "Synth / Sampler", false, true, true, false, 0, 2, 0, 3, "note_to_audio", "VST 3"}},
        {VST3_TESTVST3RUNLOOP,
         {"Zelvar Test Plug-ins", "Test Run Loop", "5A454C563352554E4C50000000000001", "1.0.0", "Analyzer",
          true, false, false, true, 1, 0, 1, 0, "audio_to_note", "VST 3"}},
    };
    for (const auto& c : cases) {
        PluginHostRun result = info(c.bundle);
        EXPECT_EQ(result.output, header(c.bundle) + block(c.block));
        EXPECT_EQ(result.exitStatus, 0) << c.bundle;
    }

    // A plain shared object whose name ends in "vst3" is loaded as it is.
    TemporaryDirectory directory;
    const fs::path file = directory.path / "Single.vst3";
    fs::copy_file(fs::path(VST3_TESTVST3SINGLE) / "Contents" / "x86_64-linux" / "TestVst3Single.so", file);
    EXPECT_EQ(info(file.string()).output, header(file.string()) + block(cases[0].block));

    // A bundle without its shared object cannot be loaded, and the loader says why.
    const fs::path empty = directory.path / "Empty.vst3";
    fs::create_directories(empty / "Contents" / "x86_64-linux");
    PluginHostRun result = info(empty.string());
    EXPECT_EQ(result.output, header(empty.string()) +
                                 "Exception Thrown:Couldn't load VST plug-in: " + empty.string() + "\n");
    EXPECT_NE(result.errors.find("Empty.so"), std::string::npos) << result.errors;
}
