// Proves that the host's audio path allocates nothing: every operator new made on a thread named as the
// host's audio threads is counted while blocks are processed. A binary of its own, since it replaces the
// global allocation functions.

#include "../RecordingProxyHandler.h"

#include "base/core/NamedPipe.h"
#include "base/core/NamedPipes.h"
#include "base/core/NamedServerPipe.h"
#include "client/AudioThreadProxy.h"
#include "linux/MainLoop.h"
#include "plugin/PluginApi.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginInstance.h"
#include "plugin/RemoteAudioThread.h"
#include "plugin/RemotePluginAudioContext.h"
#include "vst2/Vst2PluginApi.h"
#include "vst3/Vst3PluginApi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/prctl.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

std::atomic<bool> counting{false};
std::atomic<int> audioThreadAllocations{0};

bool onAudioThread() {
    char name[16] = {};
    prctl(PR_GET_NAME, name);
    return std::strcmp(name, "RemoteAudioThre") == 0; // the name as Linux keeps it, 15 bytes
}

void* allocate(size_t size, size_t alignment, bool throwing) {
    if (counting.load(std::memory_order_relaxed) && onAudioThread())
        audioThreadAllocations.fetch_add(1);
    void* memory = alignment ? std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment)
                             : std::malloc(size ? size : 1);
    if (!memory && throwing)
        throw std::bad_alloc();
    return memory;
}

} // namespace

// Every form of new and delete, so that none meets memory of another allocator (the sanitizer build checks).
#define ALLOCATE_WITH(ALIGNMENT, THROWING, ...)                                                              \
    void* operator new(size_t size __VA_OPT__(, ) __VA_ARGS__) noexcept(!THROWING) {                         \
        return allocate(size, ALIGNMENT, THROWING);                                                          \
    }                                                                                                        \
    void* operator new[](size_t size __VA_OPT__(, ) __VA_ARGS__) noexcept(!THROWING) {                       \
        return allocate(size, ALIGNMENT, THROWING);                                                          \
    }
ALLOCATE_WITH(0, true)
ALLOCATE_WITH(static_cast<size_t>(alignment), true, std::align_val_t alignment)
ALLOCATE_WITH(0, false, const std::nothrow_t&)
#undef ALLOCATE_WITH
#define FREE_WITH(...)                                                                                       \
    void operator delete(void* memory __VA_OPT__(, ) __VA_ARGS__) noexcept {                                 \
        std::free(memory);                                                                                   \
    }                                                                                                        \
    void operator delete[](void* memory __VA_OPT__(, ) __VA_ARGS__) noexcept {                               \
        std::free(memory);                                                                                   \
    }
FREE_WITH()
FREE_WITH(size_t)
FREE_WITH(std::align_val_t)
FREE_WITH(size_t, std::align_val_t)
#undef FREE_WITH

using namespace plugin;
using base::core::SmartPtr;

TEST(AudioPath, ProcessingBlocksAllocatesNothingAndTheCounterWouldSeeIt) {
    // A thread named like the audio threads that allocates: the counter can see a fault.
    counting = true;
    std::thread([] {
        prctl(PR_SET_NAME, "RemoteAudioThread");
        delete new int(7);
    }).join();
    counting = false;
    EXPECT_EQ(audioThreadAllocations.load(), 1);
    PluginApi* previousApi = std::exchange(VST2_PLUGIN_API_INSTANCE, new Vst2PluginApi());
    PluginApi* previousVst3Api = std::exchange(VST3_PLUGIN_API_INSTANCE, new Vst3PluginApi());
    const int hostId = 900000 + getpid() % 90000;
    {
        SmartPtr<PluginHost> host(new PluginHost(44100, 256));
        SmartPtr<base::core::NamedServerPipe> server =
            base::core::NamedServerPipe::create(base::core::getThreadPipePath(hostId, "worker0"), true, true);
        SmartPtr<RemoteAudioThread> audioThread(new RemoteAudioThread(host.get(), hostId, 0));
        audioThread->start();
        SmartPtr<base::core::NamedPipe> pipe = server->waitForClientToConnect(nullptr);
        SmartPtr<AudioThreadProxy> client(
            new AudioThreadProxy(pipe->getInputStream(), pipe->getOutputStream()));

        // A plug-in that takes and sends MIDI from its processing, and one that automates its parameter with
        // edit gestures from its processing (program 2), whose notifications the audio thread posts; then
        // VST 3: the amplifier that maps and echoes notes and follows its automation.
        SmartPtr<test::RecordingProxyHandler> handler(new test::RecordingProxyHandler(host.get()));
        std::vector<std::pair<int, SmartPtr<RemotePluginAudioContext>>> instances;
        for (auto [id, path] : {std::make_pair(1, VST2_TESTMIDIECHO), std::make_pair(2, VST2_TESTAUTOMATOR),
                                std::make_pair(3, VST3_TESTVST3PROCESSING)}) {
            PluginInstance* instance = host->createPluginInstance(id, path, "", false);
            instance->setProxyHandler(handler.get());
            if (id == 2)
                instance->setCurrentProgram(2, 0);
            SmartPtr<RemotePluginAudioContext> context(new RemotePluginAudioContext(instance, hostId, 256));
            context->init();
            context->clearAndWriteGuards();
            instance->setAudioContext(context.get());
            host->enableAudio(instance);
            if (instance->getParameterCount() > 0)
                context->parameterFlag(0).store(PluginAudioContext::PARAMETER_WATCHED);
            client->startProcess(id);
            instances.emplace_back(id, context);
        }
        auto block = [&](int number) {
            for (auto& [id, context] : instances) {
                context->getOutputEvents().setCount(0);
                auto& events = context->getInputEvents();
                PluginHostEvent& note = events[0];
                note.kind = PluginHostEvent::MIDI;
                note.sampleOffset = static_cast<uint16_t>(number % 256);
                note.midi[0] = 0x90;
                note.midi[1] = static_cast<uint8_t>(number % 128);
                note.midi[2] = 64;
                events.setCount(1);
                auto& changes = context->getParameterChanges();
                changes[0] = PluginParameterChange{(number % 10) / 10.0f, 0, 0};
                changes.setCount(context->getParameterCount() > 0 ? 1 : 0);
                client->process(id, 256, number % 2 == 0, true);
            }
        };
        // Plug-ins may set themselves up lazily in their first blocks.
        for (int number = 0; number < 20; ++number)
            block(number);
        audioThreadAllocations = 0;
        counting = true;
        for (int number = 0; number < 300; ++number)
            block(number);
        counting = false;
        EXPECT_EQ(audioThreadAllocations.load(), 0);
        EXPECT_GT(instances[0].second->getOutputEvents().count(), 0u) << "the MIDI path was not exercised";
        EXPECT_GT(instances[2].second->getOutputEvents().count(), 0u)
            << "the VST 3 event path was not exercised";
        // The automation posted from the audio thread reaches the client once the main loop runs.
        handler->clear();
        host->getMainLoop().addTimer(0.05, [&] { host->getMainLoop().terminate(); });
        host->getMainLoop().run();
        EXPECT_GE(handler->asyncBytes.size(), 320u * 3 * 13) << "the automation path was not exercised";

        for (auto& [id, context] : instances)
            client->stopProcess(id);
        audioThread->stopAndJoin();
        for (auto& [id, context] : instances)
            host->destroyPluginInstance(host->getPluginInstance(static_cast<unsigned int>(id)));
    }
    delete std::exchange(VST2_PLUGIN_API_INSTANCE, previousApi);
    delete std::exchange(VST3_PLUGIN_API_INSTANCE, previousVst3Api);
}
