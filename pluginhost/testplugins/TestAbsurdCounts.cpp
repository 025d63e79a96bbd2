// A shell whose members report counts no real plug-in has: -1000 audio inputs, and 0x7fffffff parameters.
// A host must refuse them with a message rather than size anything by them.

#include "TestPlugin.h"

namespace {

constexpr ShellMember MEMBERS[] = {{1, "Negative Inputs"}, {2, "Huge Parameters"}};

} // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    switch (currentShellId(host)) {
    case 1:
        return (new TestPlugin(host, 1, "Negative Inputs", -1000, 2))->getEffect();
    case 2: {
        auto* plugin = new TestPlugin(host, 2, "Huge Parameters");
        plugin->effect.numParams = 0x7fffffff;
        return plugin->getEffect();
    }
    default:
        return TestPlugin::makeShell(host, 0x5A744163, "Absurd Counts", MEMBERS);
    }
}
