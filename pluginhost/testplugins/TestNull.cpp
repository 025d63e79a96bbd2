// A stereo effect whose processing does nothing at all: what remains of a block's cost is the host's.

#include "TestPlugin.h"

namespace {

class Null : public TestPlugin {
public:
    explicit Null(audioMasterCallback host) : TestPlugin(host, 0x5A744E75, 2, 2, effFlagsCanReplacing) {
        name = "Null";
    }

protected:
    void process(float**, float**, VstInt32) override {}
};

} // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    return (new Null(host))->getEffect();
}
