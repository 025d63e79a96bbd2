// A module whose entry takes seconds, so that a creation request is still pending when a test kills
// the host.

#include "TestPlugin.h"

#include <unistd.h>

namespace {

class SlowStart : public TestPlugin {
public:
    explicit SlowStart(audioMasterCallback host) : TestPlugin(host, 0x5A74536C, 2, 2, effFlagsCanReplacing) {
        name = "Slow Start";
    }
};

} // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    sleep(10);
    return (new SlowStart(host))->getEffect();
}
