// A stereo effect whose processing never returns, as a plug-in stuck in a dead lock does. Unlike the
// hang shell it needs no device id, so that a tool that tests whole directories meets it too.

#include "TestPlugin.h"

#include <unistd.h>

namespace {

struct StuckProcess : TestPlugin {
    using TestPlugin::TestPlugin;
    void process(float**, float**, VstInt32) override {
        for (;;)
            pause();
    }
};

} // namespace

TEST_PLUGIN_MAIN(StuckProcess, 0x5A745370, "Stuck Process")
