// A plug-in that crashes inside its processing routine, as badly written plug-ins do.

#include "TestPlugin.h"

#include <csignal>

namespace {

class Crasher : public TestPlugin {
public:
    explicit Crasher(audioMasterCallback host) : TestPlugin(host, 0x5A744372, 2, 2, effFlagsCanReplacing) {
        name = "Crasher";
    }

protected:
    void process(float**, float**, VstInt32) override { std::raise(SIGSEGV); }
};

} // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    return (new Crasher(host))->getEffect();
}
