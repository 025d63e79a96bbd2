// A stereo effect whose processing never returns, as a plug-in stuck in a dead lock does. Unlike the
// hang shell it needs no device id, so that a tool that tests whole directories meets it too.

#include "TestPlugin.h"

#include <unistd.h>

namespace {

class StuckProcess : public TestPlugin {
public:
    explicit StuckProcess(audioMasterCallback host)
        : TestPlugin(host, 0x5A745370, 2, 2, effFlagsCanReplacing) {
        name = "Stuck Process";
    }

protected:
    void process(float**, float**, VstInt32) override {
        for (;;)
            pause();
    }
};

} // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    return (new StuckProcess(host))->getEffect();
}
