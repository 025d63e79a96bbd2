#include "client/AudioThreadProxy.h"

#include "plugin/PluginAudioContext.h"

#include <cstring>

namespace plugin {

using base::core::SmartPtr;

AudioThreadProxy::AudioThreadProxy(const SmartPtr<base::core::InputStream>& input,
                                   const SmartPtr<base::core::OutputStream>& output)
    : input(input), output(output) {}

void AudioThreadProxy::sendCommand(unsigned char command, int32_t instanceId) {
    unsigned char message[5] = {command};
    std::memcpy(message + 1, &instanceId, 4);
    output->writeBytes(message, sizeof message);
    output->flush();
}

void AudioThreadProxy::startProcess(int32_t instanceId) {
    sendCommand(START_PROCESS, instanceId);
}

void AudioThreadProxy::stopProcess(int32_t instanceId) {
    sendCommand(STOP_PROCESS, instanceId);
}

int AudioThreadProxy::process(int32_t instanceId, unsigned int frames, bool flag1, bool flag2) {
    // One 11-byte message and one 4-byte answer per block; everything else is in shared memory.
    unsigned char message[11] = {PROCESS};
    const int32_t frameCount = static_cast<int32_t>(frames);
    std::memcpy(message + 1, &instanceId, 4);
    std::memcpy(message + 5, &frameCount, 4);
    message[9] = flag1 ? 1 : 0;
    message[10] = flag2 ? 1 : 0;
    instanceInFlight.store(instanceId, std::memory_order_relaxed);
    framesInFlight.store(frames, std::memory_order_relaxed);
    blockInFlight.store(++blocks, std::memory_order_release);
    struct EndOfBlock {
        std::atomic<uint64_t>& inFlight;
        ~EndOfBlock() { inFlight.store(0, std::memory_order_release); }
    } endOfBlock{blockInFlight};
    output->writeBytes(message, sizeof message);
    output->flush();
    return input->readInt32();
}

AudioThreadProxy::ProcessStamp AudioThreadProxy::getProcessStamp() const {
    const uint64_t block = blockInFlight.load(std::memory_order_acquire);
    return {block, instanceInFlight.load(std::memory_order_relaxed),
            framesInFlight.load(std::memory_order_relaxed)};
}

} // namespace plugin
