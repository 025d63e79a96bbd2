// A module whose entry takes seconds, so that a creation request is still pending when a test kills
// the host.

#include "TestPlugin.h"

#include <unistd.h>

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    sleep(10);
    return (new TestPlugin(host, 0x5A74536C, "Slow Start"))->getEffect();
}
