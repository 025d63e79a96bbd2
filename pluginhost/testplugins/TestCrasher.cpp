// A plug-in that crashes inside its processing routine, as badly written plug-ins do.

#include "TestPlugin.h"

#include <csignal>

namespace {

struct Crasher : TestPlugin {
    using TestPlugin::TestPlugin;
    void process(float**, float**, VstInt32) override { std::raise(SIGSEGV); }
};

} // namespace

TEST_PLUGIN_MAIN(Crasher, 0x5A744372, "Crasher")
