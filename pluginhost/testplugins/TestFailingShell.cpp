// A shell of three plug-ins whose second cannot be created; the shell names none of them.

#include "TestPlugin.h"

namespace {

constexpr ShellMember MEMBERS[] = {{0x5A744631, nullptr}, {0x5A744632, nullptr}, {0x5A744633, nullptr}};

} // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    switch (currentShellId(host)) {
    case 0:
        return TestPlugin::makeShell(host, 0x5A744653, "Failing Shell", MEMBERS);
    case 0x5A744631:
        return (new TestPlugin(host, 0x5A744631, "First Member"))->getEffect();
    case 0x5A744633:
        return (new TestPlugin(host, 0x5A744633, "Last Member"))->getEffect();
    default:
        return nullptr;
    }
}
