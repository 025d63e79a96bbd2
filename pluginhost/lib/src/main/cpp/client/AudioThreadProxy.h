#pragma once

#include "base/core/InputStream.h"
#include "base/core/Object.h"
#include "base/core/OutputStream.h"
#include "base/core/SmartPtr.h"

#include <cstdint>

namespace plugin {

// One client audio thread's channel to its host audio thread ("worker" + index).
class AudioThreadProxy : public base::core::Object {
public:
    AudioThreadProxy(const base::core::SmartPtr<base::core::InputStream>& input,
                     const base::core::SmartPtr<base::core::OutputStream>& output);

    void startProcess(int32_t instanceId);
    void stopProcess(int32_t instanceId);
    // Blocks until the host has processed the block; returns the instance's result.
    int process(int32_t instanceId, unsigned int frames, bool flag1, bool flag2);

private:
    void sendCommand(unsigned char command, int32_t instanceId);

    base::core::SmartPtr<base::core::InputStream> input;
    base::core::SmartPtr<base::core::OutputStream> output;
};

} // namespace plugin
