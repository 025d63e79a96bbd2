// A shell of three plug-ins whose second cannot be created; the shell names none of them.

#include "TestPlugin.h"

namespace {

constexpr ShellMember MEMBERS[] = {{0x5A744631, nullptr}, {0x5A744632, nullptr}, {0x5A744633, nullptr}};

} // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    const VstInt32 id = currentShellId(host);
    if (id == 0)
        return TestPlugin::makeShell(host, 0x5A744653, "Failing Shell", MEMBERS);
    if (id != 0x5A744631 && id != 0x5A744633)
        return nullptr; // the second member, and ids the shell does not have
    return (new TestPlugin(host, id, id == 0x5A744631 ? "First Member" : "Last Member"))->getEffect();
}
