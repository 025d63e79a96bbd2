// A stereo effect whose processing does nothing at all: what remains of a block's cost is the host's.

#include "TestPlugin.h"

namespace {

struct Null : TestPlugin {
    using TestPlugin::TestPlugin;
    void process(float**, float**, VstInt32) override {}
};

} // namespace

TEST_PLUGIN_MAIN(Null, 0x5A744E75, "Null")
