#pragma once

#include "base/core/SmartPtr.h"
#include "base/core/String.h"
#include "base/core/Thread.h"
#include "plugin/PluginAudioContext.h"

#include <atomic>

namespace plugin {

// Renders a minute of audio (at 44100 Hz, as fast as the plug-in allows) through a tested instance's
// audio context, advancing the transport each block and checking after each block that the plug-in
// wrote nothing outside its buffers. Started and joined by the testing thread; run() is the audio
// thread, and its block loop takes no lock and allocates nothing.
class TestAudioThread : public base::core::Thread {
public:
    static constexpr int SAMPLE_RATE = 44100;
    static constexpr int TOTAL_SAMPLES = 2646000; // 60 seconds

    // `renderedOk` is set when every block was rendered.
    TestAudioThread(PluginAudioContext* context, std::atomic<bool>* renderedOk);
    ~TestAudioThread() override { join(); }

    void run() override;
    // After join: why rendering failed, null while nothing failed.
    const base::core::String& getErrorMessage() const { return errorMessage; }

private:
    void render();

    base::core::SmartPtr<PluginAudioContext> context;
    std::atomic<bool>* renderedOk;
    base::core::String errorMessage;
};

} // namespace plugin
