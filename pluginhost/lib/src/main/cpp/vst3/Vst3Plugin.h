#pragma once

#include "plugin/Plugin.h"

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/base/smartpointer.h"

#include <map>

namespace plugin {

class PluginHost;

// Host side. One loaded VST 3 module: a ".vst3" bundle directory (its Contents/x86_64-linux/<stem>.so)
// or a shared object whose name ends in "vst3". Holds the factory and the catalogue of the module's
// audio processor classes, whose class id strings are its device ids. The module stays loaded until the
// process ends. Called on the main thread.
class Vst3Plugin : public Plugin {
public:
    Vst3Plugin(const base::core::String& path, PluginHost* host);
    ~Vst3Plugin() override;

    // Opens the shared object, calls ModuleEntry and GetPluginFactory and reads the class catalogue. A
    // failure is written to the error stream and leaves the module unloaded (no factory).
    void load();

    bool wasSuccesfullyLoaded() override { return factory != nullptr; }
    // An empty device id selects the module's only audio processor class, if it has exactly one.
    base::core::SmartPtr<PluginInstance> createInstance(int instanceId, const base::core::String& deviceId,
                                                        bool flag) override;
    void listDeviceIds(std::vector<base::core::String>& deviceIds) override;
    const base::core::String& getPath() override { return path; }
    PluginApi* getApi() override;

    Steinberg::IPluginFactory* getFactory() const { return factory; }
    PluginHost* getHost() const { return host; }
    // The catalogue entries of a class id string; zero-filled for a class that is not catalogued.
    const Steinberg::PClassInfo& getClassInfo(const base::core::String& classId) const;
    const Steinberg::PClassInfo2& getClassInfo2(const base::core::String& classId) const;

    // The shared object loaded for a module path: for a bundle directory X.vst3 the file
    // X.vst3/Contents/x86_64-linux/X.so, else the path itself.
    static base::core::String findSharedObject(const base::core::String& nativePath);
    // The 16 bytes of a class id in storage order, two upper-case hexadecimal digits each.
    static base::core::String toClassIdString(const Steinberg::TUID classId);

private:
    base::core::String path;
    PluginHost* host;
    void* module = nullptr; // never closed: plug-ins may leave threads and callbacks behind
    Steinberg::IPtr<Steinberg::IPluginFactory> factory;
    Steinberg::IPtr<Steinberg::IPluginFactory2> factory2;
    std::vector<base::core::String> classIds; // factory order, duplicates kept
    std::map<base::core::String, Steinberg::PClassInfo> classInfos;
    std::map<base::core::String, Steinberg::PClassInfo2> classInfos2;
};

} // namespace plugin
