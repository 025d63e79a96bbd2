// plugin-host-render as a user runs it: a real host process, real plug-ins, real files.

#include <gtest/gtest.h>
#include <sndfile.hh>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// A real plug-in, for the failures that need one.
constexpr const char* ZAMCOMP = "/usr/lib/vst/ZamCompX2-vst.so";
constexpr int RATE = 44100;

struct RenderRun {
    int status;
    std::string output;
};

RenderRun render(const std::string& arguments) {
    FILE* pipe = popen((std::string(RENDER_EXECUTABLE) + " " + arguments + " 2>&1").c_str(), "r");
    std::string output;
    char buffer[512];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), output};
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A stereo file of a different sine on each channel.
void writeSignal(const std::string& path, int format, int frames) {
    std::vector<float> samples(static_cast<size_t>(frames) * 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<float>(0.5 * std::sin(2 * M_PI * (220 + 110 * (i % 2)) * (i / 2) / RATE));
    SndfileHandle file(path, SFM_WRITE, format, 2, RATE);
    ASSERT_EQ(file.writef(samples.data(), frames), frames) << sf_strerror(nullptr);
}

class Render : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(mkdtemp(directory.data())); }
    void TearDown() override { std::filesystem::remove_all(directory); }

    std::string file(const char* name) const { return directory + "/" + name; }

    std::string directory = "/tmp/plugin-host-render-XXXXXX";
};

// The plug-in halves its input, so every sample shows where it went through the host's shared block; the
// output keeps the input's file format. The smallest and the largest block the client uses, and a length
// that blocks do not divide, so the last block is a short one.
TEST_F(Render, OutputIsTheInputThroughThePlugInInTheInputsFormat) {
    const std::pair<int, int> formatsAndBlocks[] = {{SF_FORMAT_WAV | SF_FORMAT_FLOAT, 64},
                                                    {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 256},
                                                    {SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 1024},
                                                    {SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 256}};
    for (const auto& [format, block] : formatsAndBlocks) {
        writeSignal(file("in"), format, 5 * 256 + 77);
        const RenderRun run = render(std::string(VST3_TESTVST3PROCESSING) + " " + file("in") + " " +
                                     file("out") + " --block " + std::to_string(block));
        ASSERT_EQ(run.status, 0) << run.output;
        EXPECT_EQ(run.output, "") << "no progress bar without a terminal";

        SndfileHandle in(file("in")), out(file("out"));
        EXPECT_EQ(out.format(), format);
        EXPECT_EQ(out.samplerate(), RATE);
        ASSERT_EQ(out.frames(), in.frames());
        ASSERT_EQ(out.channels(), 2);
        std::vector<float> input(static_cast<size_t>(in.frames() * 2)), output(input.size());
        in.readf(input.data(), in.frames());
        out.readf(output.data(), out.frames());
        // Exact in floating point; a 16-bit sample may round by half a step.
        for (size_t i = 0; i < input.size(); ++i)
            ASSERT_NEAR(output[i], 0.5f * input[i], 2e-5f) << "sample " << i << " of format " << format;
    }
}

// Each failure: the message the user sees, a non-zero status, no output, and the input as it was.
TEST_F(Render, FailuresAreReportedAndLeaveNoOutput) {
    const std::string in = file("in.wav");
    const std::string out = file("out.wav");
    const std::string zamComp = std::string(ZAMCOMP) + " ";
    const struct {
        std::string arguments, message;
        int status;
    } cases[] = {
        {std::string(VST2_TESTCRASHER) + " " + in + " " + out, "The plug-in host died while rendering", 1},
        {zamComp + in + " " + out + " --preset " + file("p.fxp"),
         "Could not load preset \"" + file("p.fxp") + "\": Could not open file \"" + file("p.fxp") +
             "\" for reading",
         1},
        {zamComp + in + " " + in, "is the input file", 1},
        {file("missing.so") + " " + in + " " + out, "Could not load plug-in", 1},
        // The shell's analyser (0xabc), which has no audio output.
        {std::string(VST2_TESTSHELL) + " " + in + " " + out + " --device-id 2748", "has no audio outputs", 1},
        {zamComp + file("missing.wav") + " " + out, "Could not read audio file", 1},
        {zamComp + in + " " + out + " --block 0", "invalid block size 0", 2},
        {zamComp + in, "PLUGIN, INPUT and OUTPUT are needed", 2},
    };
    writeSignal(in, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 4096);
    const std::string before = readBytes(in);
    for (const auto& c : cases) {
        const RenderRun run = render(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.arguments << "\n" << run.output;
        EXPECT_NE(access(out.c_str(), F_OK), 0) << c.arguments;
        EXPECT_NE(access((out + ".partial").c_str(), F_OK), 0) << c.arguments;
        EXPECT_EQ(readBytes(in), before) << c.arguments;
    }
}

} // namespace
