// A shell of three plug-ins whose second cannot be created.

#include "TestPlugin.h"

namespace {

constexpr VstInt32 FIRST_ID = 0x5A744631;
constexpr VstInt32 FAILING_ID = 0x5A744632;
constexpr VstInt32 LAST_ID = 0x5A744633;
constexpr VstInt32 ENUMERATION[] = {FIRST_ID, FAILING_ID, LAST_ID};

class Shell : public TestPlugin {
public:
    explicit Shell(audioMasterCallback host) : TestPlugin(host, 0x5A744653, 0, 0, 0) {
        name = "Failing Shell";
        category = kPlugCategShell;
    }

protected:
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override {
        if (opcode != effShellGetNextPlugin)
            return TestPlugin::dispatch(opcode, index, value, ptr, opt);
        return next < 3 ? ENUMERATION[next++] : 0;
    }

private:
    int next = 0;
};

class Member : public TestPlugin {
public:
    Member(audioMasterCallback host, VstInt32 id, const char* memberName)
        : TestPlugin(host, id, 2, 2, effFlagsCanReplacing) {
        name = memberName;
    }
};

} // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    switch (currentShellId(host)) {
    case 0:
        return (new Shell(host))->getEffect();
    case FIRST_ID:
        return (new Member(host, FIRST_ID, "First Member"))->getEffect();
    case LAST_ID:
        return (new Member(host, LAST_ID, "Last Member"))->getEffect();
    default:
        return nullptr;
    }
}
