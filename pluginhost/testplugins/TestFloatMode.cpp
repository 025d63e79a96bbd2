// A stereo effect that reports the floating-point mode it is called in: the first two samples of its first
// output are 1 where flush-to-zero, respectively denormals-are-zero, is in force, else 0.

#include "TestPlugin.h"

#include <xmmintrin.h>

namespace {

struct FloatMode : TestPlugin {
    using TestPlugin::TestPlugin;
    void process(float** inputs, float** outputs, VstInt32 frames) override {
        TestPlugin::process(inputs, outputs, frames);
        const unsigned int mode = _mm_getcsr();
        outputs[0][0] = (mode & 0x8000) ? 1.0f : 0.0f;
        outputs[0][1] = (mode & 0x0040) ? 1.0f : 0.0f;
    }
};

} // namespace

TEST_PLUGIN_MAIN(FloatMode, 0x5A74466D, "Float Mode")
