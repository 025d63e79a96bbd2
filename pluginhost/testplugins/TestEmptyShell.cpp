// A shell that contains no plug-ins.

#include "TestPlugin.h"

namespace {

class EmptyShell : public TestPlugin {
public:
    explicit EmptyShell(audioMasterCallback host) : TestPlugin(host, 0x5A744553, 0, 0, 0) {
        name = "Empty Shell";
        category = kPlugCategShell;
    }
};

} // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    return currentShellId(host) == 0 ? (new EmptyShell(host))->getEffect() : nullptr;
}
