#pragma once

#include "base/core/InputStream.h"
#include "base/core/Object.h"
#include "base/core/OutputStream.h"
#include "base/core/SmartPtr.h"

#include <atomic>
#include <cstdint>

namespace plugin {

// One client audio thread's channel to its host audio thread ("worker" + index). Called by that client
// audio thread only; getProcessStamp from any thread.
class AudioThreadProxy : public base::core::Object {
public:
    AudioThreadProxy(const base::core::SmartPtr<base::core::InputStream>& input,
                     const base::core::SmartPtr<base::core::OutputStream>& output);

    void startProcess(int32_t instanceId);
    void stopProcess(int32_t instanceId);
    // Blocks until the host has processed the block; returns the instance's result.
    int process(int32_t instanceId, unsigned int frames, bool flag1, bool flag2);

    // The block in flight as a watchdog sees it: its number (0 while none is), instance and frames.
    struct ProcessStamp {
        uint64_t block;
        int32_t instanceId;
        uint32_t frames;
    };
    ProcessStamp getProcessStamp() const;

private:
    void sendCommand(unsigned char command, int32_t instanceId);

    base::core::SmartPtr<base::core::InputStream> input;
    base::core::SmartPtr<base::core::OutputStream> output;
    // Plain stores on the audio thread, no clock: the watchdog times a block number that stays.
    uint64_t blocks = 0;
    std::atomic<uint64_t> blockInFlight{0};
    std::atomic<int32_t> instanceInFlight{0};
    std::atomic<uint32_t> framesInFlight{0};
};

} // namespace plugin
