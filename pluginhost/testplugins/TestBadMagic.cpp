// A module whose entry function returns an object without the 'VstP' magic.

#include "TestPlugin.h"

namespace {

AEffect notAnEffect;

} // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    notAnEffect.magic = 0x50747356; // the magic's bytes reversed
    return &notAnEffect;
}
