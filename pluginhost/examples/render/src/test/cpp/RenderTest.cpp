// plugin-host-render as a user runs it: a real host process, a real installed plug-in, real files.

#include "base/core/SmartPtr.h"
#include "plugin/LocalPluginAudioContext.h"
#include "plugin/PluginApi.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginInstance.h"
#include "vst2/Vst2PluginApi.h"

#include <gtest/gtest.h>
#include <sndfile.hh>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>
#include <xmmintrin.h>

using namespace plugin;
using base::core::SmartPtr;

namespace {

// A stereo compressor with a side-chain input, which the renderer feeds silence.
constexpr const char* ZAMCOMP = "/usr/lib/vst/ZamCompX2-vst.so";
constexpr int RATE = 44100;

struct RenderRun {
    int status;
    std::string output;
};

RenderRun render(const std::string& arguments) {
    const std::string command = std::string(RENDER_EXECUTABLE) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
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

// Two sines and a little pseudo-random noise, interleaved.
std::vector<float> testSignal(int frames, int channels) {
    std::vector<float> samples(static_cast<size_t>(frames) * channels);
    uint32_t seed = 12345u;
    for (int i = 0; i < frames; ++i) {
        for (int channel = 0; channel < channels; ++channel) {
            seed = seed * 1664525u + 1013904223u;
            samples[i * channels + channel] =
                static_cast<float>(0.5 * std::sin(2 * M_PI * (220 + 110 * channel) * i / RATE) +
                                   0.05 * ((seed >> 8) / 16777216.0 - 0.5));
        }
    }
    return samples;
}

void writeFile(const std::string& path, int format, const std::vector<float>& samples, int channels) {
    SndfileHandle file(path, SFM_WRITE, format, channels, RATE);
    ASSERT_TRUE(file.rawHandle()) << sf_strerror(nullptr);
    ASSERT_EQ(file.writef(samples.data(), static_cast<sf_count_t>(samples.size() / channels)),
              static_cast<sf_count_t>(samples.size() / channels));
}

// The host's audio threads flush denormals; the reference must compute in the same mode.
class FlushDenormals {
public:
    FlushDenormals() : saved(_mm_getcsr()) { _mm_setcsr(saved | 0x8040); }
    ~FlushDenormals() { _mm_setcsr(saved); }

private:
    unsigned int saved;
};

// The same plug-in called in this process, block by block as the renderer does; interleaved output.
std::vector<float> renderInProcess(const char* path, const std::vector<float>& input, int channels,
                                   int blockSize) {
    FlushDenormals mode;
    PluginApi* previous = std::exchange(VST2_PLUGIN_API_INSTANCE, new Vst2PluginApi());
    std::vector<float> result;
    {
        SmartPtr<PluginHost> host(new PluginHost(RATE, blockSize));
        PluginInstance* instance = host->createPluginInstance(1, path, "", false);
        SmartPtr<LocalPluginAudioContext> context(new LocalPluginAudioContext(instance, blockSize));
        context->init();
        context->clearAndWriteGuards();
        instance->setAudioContext(context.get());
        instance->startProcess();
        const int frames = static_cast<int>(input.size() / channels);
        const int outputs = context->getOutputChannelCount();
        for (int start = 0; start < frames; start += blockSize) {
            const int count = std::min(blockSize, frames - start);
            for (int channel = 0; channel < context->getInputChannelCount(); ++channel) {
                float* samples = context->getInputChannel(channel);
                std::fill(samples, samples + blockSize, 0.0f);
                for (int i = 0; channel < channels && i < count; ++i)
                    samples[i] = input[(start + i) * channels + channel];
            }
            instance->process(static_cast<unsigned int>(count), true, false);
            for (int i = 0; i < count; ++i)
                for (int channel = 0; channel < outputs; ++channel)
                    result.push_back(context->getOutputChannel(channel)[i]);
        }
        instance->stopProcess();
        host->destroyPluginInstance(instance);
    }
    delete std::exchange(VST2_PLUGIN_API_INSTANCE, previous);
    return result;
}

class Render : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/plugin-host-render-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
    }
    void TearDown() override { std::system(("rm -rf " + directory).c_str()); }

    std::string file(const char* name) const { return directory + "/" + name; }

    std::string directory;
};

// A block count that does not divide the length, so the last block is a short one.
TEST_F(Render, OutputIsSampleForSampleTheSameAsInProcessAndTheInputIsUntouched) {
    const int blockSize = 256;
    const std::vector<float> signal = testSignal(5 * blockSize + 77, 2);
    writeFile(file("in.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, signal, 2);
    const std::string before = readBytes(file("in.wav"));

    const RenderRun run =
        render(std::string(ZAMCOMP) + " " + file("in.wav") + " " + file("out.wav") + " --block 256");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "") << "no progress bar without a terminal";

    SndfileHandle out(file("out.wav"));
    ASSERT_TRUE(out.rawHandle());
    EXPECT_EQ(out.format(), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ(out.samplerate(), RATE);
    ASSERT_EQ(out.frames(), 5 * blockSize + 77);
    ASSERT_EQ(out.channels(), 2);
    std::vector<float> rendered(static_cast<size_t>(out.frames() * out.channels()));
    out.readf(rendered.data(), out.frames());
    EXPECT_GT(*std::max_element(rendered.begin(), rendered.end()), 0.05f) << "the plug-in produced sound";
    EXPECT_EQ(rendered, renderInProcess(ZAMCOMP, signal, 2, blockSize));
    EXPECT_EQ(readBytes(file("in.wav")), before);
}

TEST_F(Render, OutputKeepsTheInputsFileFormat) {
    for (const int format : {SF_FORMAT_WAV | SF_FORMAT_PCM_16, SF_FORMAT_AIFF | SF_FORMAT_PCM_24,
                             SF_FORMAT_FLAC | SF_FORMAT_PCM_16}) {
        writeFile(file("in"), format, testSignal(1000, 2), 2);
        const RenderRun run = render(std::string(ZAMCOMP) + " " + file("in") + " " + file("out"));
        ASSERT_EQ(run.status, 0) << run.output;
        SndfileHandle out(file("out"));
        EXPECT_EQ(out.format(), format);
        EXPECT_EQ(out.frames(), 1000);
        EXPECT_EQ(out.channels(), 2);
    }
}

// Each failure: the message the user sees, a non-zero status, no output, and the input as it was.
TEST_F(Render, FailuresAreReportedAndLeaveNoOutput) {
    struct Case {
        std::string arguments;
        std::string message;
        int status;
    };
    const std::string in = file("in.wav");
    const std::string out = file("out.wav");
    const Case cases[] = {
        {std::string(VST2_TESTCRASHER) + " " + in + " " + out, "The plug-in host died while rendering", 1},
        {std::string(ZAMCOMP) + " " + in + " " + out + " --preset " + file("p.fxp"),
         "Could not load preset \"" + file("p.fxp") + "\": Could not open file \"" + file("p.fxp") +
             "\" for reading",
         1},
        {std::string(ZAMCOMP) + " " + in + " " + in, "is the input file", 1},
        {file("missing.so") + " " + in + " " + out, "Could not load plug-in", 1},
        // The shell's analyser (0xabc), which has no audio output.
        {std::string(VST2_TESTSHELL) + " " + in + " " + out + " --device-id 2748", "has no audio outputs", 1},
        {std::string(ZAMCOMP) + " " + file("missing.wav") + " " + out, "Could not read audio file", 1},
        {std::string(ZAMCOMP) + " " + in + " " + out + " --block 0", "invalid block size 0", 2},
        {std::string(ZAMCOMP) + " " + in, "PLUGIN, INPUT and OUTPUT are needed", 2},
    };
    writeFile(in, SF_FORMAT_WAV | SF_FORMAT_FLOAT, testSignal(4096, 2), 2);
    const std::string before = readBytes(in);
    for (const Case& c : cases) {
        const RenderRun run = render(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.arguments << "\n" << run.output;
        EXPECT_NE(access(out.c_str(), F_OK), 0) << c.arguments;
        EXPECT_NE(access((out + ".partial").c_str(), F_OK), 0) << c.arguments;
        EXPECT_EQ(readBytes(in), before) << c.arguments;
    }
}

} // namespace
