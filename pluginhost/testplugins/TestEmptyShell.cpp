// A shell that contains no plug-ins.

#include "TestPlugin.h"

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    return currentShellId(host) == 0 ? TestPlugin::makeShell(host, 0x5A744553, "Empty Shell") : nullptr;
}
