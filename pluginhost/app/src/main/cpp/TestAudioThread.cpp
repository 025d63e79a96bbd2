#include "TestAudioThread.h"

#include "base/core/IOException.h"
#include "base/core/OutputStream.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "plugin/PluginException.h"
#include "plugin/PluginTransportInfo.h"

#include <algorithm>
#include <cstring>

namespace plugin {

using base::core::String;

TestAudioThread::TestAudioThread(PluginAudioContext* context, std::atomic<bool>* renderedOk)
    : Thread("Test audio thread", 4), context(context), renderedOk(renderedOk) {}

void TestAudioThread::run() {
    base::core::OutputStream* out = base::core::getOut();
    out->writeLineAndFlush("Running test audio engine");
    try {
        render();
        renderedOk->store(true);
    } catch (const base::core::Exception& e) {
        if (!dynamic_cast<const PluginException*>(&e) && !dynamic_cast<const base::core::IOException*>(&e))
            throw;
        errorMessage = base::core::StringBuilder() + "Error rendering audio: " + e.getMessage();
        base::core::OutputStream* err = base::core::getError();
        err->writeLineAndFlush(errorMessage);
        try {
            context->stopProcessing();
        } catch (const base::core::IOException&) {
            // The host is gone; there is nothing left to stop.
        }
    }
}

void TestAudioThread::render() {
    PluginTransportInfo* transport = context->getTransport();
    transport->sampleRate = SAMPLE_RATE;
    transport->tempo = 120.0;
    transport->positionInQuarterNotes = 0;
    double seconds = 0; // the field after the position in quarter notes: the time in seconds
    std::memcpy(transport->reserved1, &seconds, sizeof seconds);
    transport->positionInSamples = 0;
    transport->timeSignatureNumerator = 4;
    transport->timeSignatureDenominator = 4;
    const int blockSize = context->getBlockSize();
    for (int channel = 0; channel < context->getInputChannelCount(); ++channel)
        std::fill_n(context->getInputChannel(channel), blockSize, 0.0f);

    context->startProcessing();
    const int blocks = TOTAL_SAMPLES / blockSize;
    for (int block = 0; block < blocks; ++block) {
        // The lists belong to the client, which has nothing to send and reads nothing back.
        context->getInputEvents().setCount(0);
        context->getOutputEvents().setCount(0);
        context->getParameterChanges().setCount(0);
        context->processAudio(static_cast<unsigned int>(blockSize), true, false);
        transport->positionInSamples += static_cast<uint64_t>(blockSize);
        seconds += static_cast<double>(blockSize) / SAMPLE_RATE;
        std::memcpy(transport->reserved1, &seconds, sizeof seconds);
        if (!context->guardsIntact())
            throw PluginException("Plugin wrote outside of the supplied buffers.");
    }
    context->stopProcessing();
}

} // namespace plugin
