#pragma once

#include "plugin/Plugin.h"
#include "vst2/Vst2Abi.h"

#include <cstdint>

namespace plugin {

class PluginHost;

// The unique id of the plug-in that the next effect is created for. A shell module asks for it through
// audioMasterCurrentId while its entry function runs, so effects must be created one at a time.
extern int32_t SHELL_ID;

// One loaded VST 2 module (a shared object, or a bundle directory holding one). The module stays
// loaded until the process ends.
class Vst2Plugin : public Plugin {
public:
    Vst2Plugin(const base::core::String& path, PluginHost* host);
    ~Vst2Plugin() override;

    // Opens the shared object and looks up its entry function; a failure is written to the error stream
    // and leaves the plug-in unloaded.
    void load();

    bool wasSuccesfullyLoaded() override { return entryPoint != nullptr; }
    // Throws PluginException when no effect can be created.
    base::core::SmartPtr<PluginInstance> createInstance(int instanceId, const base::core::String& deviceId,
                                                        bool flag) override;
    // One decimal device id per plug-in of the module: the ids a shell enumerates, else the unique id.
    void listDeviceIds(std::vector<base::core::String>& deviceIds) override;
    const base::core::String& getPath() override { return path; }
    PluginApi* getApi() override;

    // Calls the entry function; the effect, or null when there is none or it lacks the 'VstP' magic.
    AEffect* createEffect();
    PluginHost* getHost() const { return host; }

    // The shared object loaded for a module path: the file itself, or for a bundle directory
    // Contents/x86_64-linux/<stem>.so, else the only .so file directly inside it.
    static base::core::String findSharedObject(const base::core::String& nativePath);

private:
    base::core::String path;
    void* module = nullptr; // never closed: plug-ins may leave threads and callbacks behind
    VstPluginMainProc entryPoint = nullptr;
    PluginHost* host;
    // Made by listDeviceIds for a plain plug-in and handed to the next instance, so that listing and
    // describing a plug-in creates it only once.
    AEffect* pendingEffect = nullptr;
};

} // namespace plugin
