// The cost of one audio block through a host process (the client's 11-byte command, the host's call into a
// plug-in that does nothing, the 4-byte answer), beside the same plug-in called in the client's own process
// and beside a bare FIFO ping-pong of the same message sizes between two processes: the floor of the
// transport.

#include "FifoPingPong.h"
#include "RemoteHostInstance.h"

#include "base/core/Exception.h"
#include "base/core/SmartPtr.h"
#include "plugin/LocalPluginAudioContext.h"
#include "plugin/PluginApi.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginInstance.h"
#include "vst2/Vst2PluginApi.h"

#include <benchmark/benchmark.h>

#include <csignal>
#include <map>
#include <memory>
#include <string>
#include <utility>

using base::core::SmartPtr;
using plugin::benchmarks::FifoPingPong;
using plugin::benchmarks::RemoteHostInstance;

namespace {

constexpr int SAMPLE_RATE = 44100;
constexpr size_t PROCESS_COMMAND_SIZE = 11;
constexpr size_t PROCESS_ANSWER_SIZE = 4;

// One host per plug-in and block size, started when first needed and kept for every repetition: the
// benchmark times blocks, not start-ups. Ended before main returns.
std::map<std::pair<std::string, int>, std::unique_ptr<RemoteHostInstance>>& remoteHosts() {
    static std::map<std::pair<std::string, int>, std::unique_ptr<RemoteHostInstance>> hosts;
    return hosts;
}

RemoteHostInstance& remoteHost(const char* plugin, int blockSize) {
    std::unique_ptr<RemoteHostInstance>& host = remoteHosts()[{plugin, blockSize}];
    if (!host)
        host = std::make_unique<RemoteHostInstance>(PLUGIN_HOST_EXECUTABLE, plugin, SAMPLE_RATE, blockSize);
    return *host;
}

void skipWithError(benchmark::State& state, const base::core::Exception& e) {
    state.SkipWithError(e.getMessage().getStdString().c_str());
}

void hostRoundTrip(benchmark::State& state, const char* plugin) {
    const auto frames = static_cast<unsigned int>(state.range(0));
    try {
        RemoteHostInstance& host = remoteHost(plugin, static_cast<int>(frames));
        for (auto _ : state)
            benchmark::DoNotOptimize(host.processBlock(frames));
    } catch (const base::core::Exception& e) {
        skipWithError(state, e);
    }
}

void BM_HostRoundTrip(benchmark::State& state) {
    hostRoundTrip(state, VST2_TESTNULL);
}

// The same with a VST 3 bundle that does nothing: the VST 3 adapter's share of a block.
void BM_HostRoundTripVst3(benchmark::State& state) {
    hostRoundTrip(state, VST3_TESTVST3SINGLE);
}

void BM_InProcess(benchmark::State& state) {
    const auto frames = static_cast<unsigned int>(state.range(0));
    try {
        // The same calls the host's audio thread makes, on this thread, over ordinary memory.
        SmartPtr<plugin::PluginHost> host(new plugin::PluginHost(SAMPLE_RATE, static_cast<int>(frames)));
        plugin::PluginInstance* instance = host->createPluginInstance(1, VST2_TESTNULL, "", false);
        SmartPtr<plugin::LocalPluginAudioContext> context(
            new plugin::LocalPluginAudioContext(instance, static_cast<int>(frames)));
        context->init();
        context->clearAndWriteGuards();
        instance->setAudioContext(context.get());
        instance->startProcess();
        for (auto _ : state)
            benchmark::DoNotOptimize(instance->process(frames, true, false));
        instance->stopProcess();
        host->destroyPluginInstance(instance);
    } catch (const base::core::Exception& e) {
        skipWithError(state, e);
    }
}

void BM_FifoPingPong(benchmark::State& state) {
    try {
        FifoPingPong pingPong(PROCESS_COMMAND_SIZE, PROCESS_ANSWER_SIZE, true);
        for (auto _ : state)
            pingPong.roundTrip();
    } catch (const base::core::Exception& e) {
        skipWithError(state, e);
    }
}

// Time per block. The cross-process families spend their time waiting for the other process, which only
// wall-clock time sees.
BENCHMARK(BM_HostRoundTrip)->Arg(64)->Arg(256)->Arg(1024)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HostRoundTripVst3)->Arg(64)->Arg(256)->Arg(1024)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InProcess)->Arg(64)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);
// The frame count changes nothing here; it lines the figures up with the others.
BENCHMARK(BM_FifoPingPong)->Arg(64)->Arg(256)->Arg(1024)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    // SIGPIPE keeps the platform's default, as in most workstations: the client's pipe writes pay for
    // holding it back, and the figures include that.
    plugin::VST2_PLUGIN_API_INSTANCE = new plugin::Vst2PluginApi();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    remoteHosts().clear();
    benchmark::Shutdown();
    return 0;
}
