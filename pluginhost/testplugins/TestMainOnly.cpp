// A module that exports its entry function only as "main", as many Linux plug-ins do.

#include "TestPlugin.h"

namespace {

class MainOnly : public TestPlugin {
public:
    explicit MainOnly(audioMasterCallback host) : TestPlugin(host, 0x5A744D4F, 2, 2, effFlagsCanReplacing) {
        name = "Main Only";
        vendorVersion = 7;
    }
};

} // namespace

// C++ reserves the name main for the program, so the symbol is named through an assembler label.
TEST_PLUGIN_EXPORT AEffect* mainEntry(audioMasterCallback host) __asm__("main");
AEffect* mainEntry(audioMasterCallback host) {
    return (new MainOnly(host))->getEffect();
}
