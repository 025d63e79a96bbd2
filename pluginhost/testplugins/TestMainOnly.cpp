// A module that exports its entry function only as "main", as many Linux plug-ins do.

#include "TestPlugin.h"

// C++ reserves the name main for the program, so the symbol is named through an assembler label.
TEST_PLUGIN_EXPORT AEffect* mainEntry(audioMasterCallback host) __asm__("main");
AEffect* mainEntry(audioMasterCallback host) {
    auto* plugin = new TestPlugin(host, 0x5A744D4F, "Main Only");
    plugin->vendorVersion = 7;
    return plugin->getEffect();
}
