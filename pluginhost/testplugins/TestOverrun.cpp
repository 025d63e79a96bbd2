// A stereo effect that writes one byte past the end of its last output buffer in every block, as a
// plug-in with an off-by-one in its processing does.

#include "TestPlugin.h"

namespace {

struct Overrun : TestPlugin {
    using TestPlugin::TestPlugin;
    void process(float** inputs, float** outputs, VstInt32 frames) override {
        TestPlugin::process(inputs, outputs, frames);
        reinterpret_cast<unsigned char*>(outputs[1] + frames)[0] = 0;
    }
};

} // namespace

TEST_PLUGIN_MAIN(Overrun, 0x5A744F76, "Overrun")
