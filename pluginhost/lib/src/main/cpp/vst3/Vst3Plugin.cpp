#include "vst3/Vst3Plugin.h"

#include "base/core/Exception.h"
#include "base/core/LocalFileSystem.h"
#include "base/core/OutputStream.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "plugin/PluginApi.h"
#include "vst3/Vst3PluginInstance.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>

namespace plugin {

using base::core::FilePath;
using base::core::LocalFileSystem;
using base::core::SmartPtr;
using base::core::String;
using base::core::StringBuilder;

namespace {

using ModuleEntryFunction = bool (*)(void*);
using GetFactoryFunction = Steinberg::IPluginFactory* (*)();

constexpr const char* AUDIO_MODULE_CLASS = "Audio Module Class";

void writeError(const String& message) {
    base::core::getError()->writeLineAndFlush(message);
}

} // namespace

Vst3Plugin::Vst3Plugin(const String& path, PluginHost* host) : path(path), host(host) {}

// The factory references go with the IPtrs; the module itself stays mapped (see `module`).
Vst3Plugin::~Vst3Plugin() = default;

String Vst3Plugin::findSharedObject(const String& nativePath) {
    LocalFileSystem* fileSystem = LocalFileSystem::getInstance();
    const FilePath filePath = LocalFileSystem::filePathFromNative(nativePath);
    if (!fileSystem->isDirectory(filePath))
        return LocalFileSystem::filePathToNative(filePath);
    const String stem = FilePath(filePath.getName()).getFilePathWithoutExtension().toString();
    FilePath inner = filePath;
    inner.appendPath("Contents").appendPath("x86_64-linux").appendPath(StringBuilder(stem) + ".so");
    return LocalFileSystem::filePathToNative(inner);
}

String Vst3Plugin::toClassIdString(const Steinberg::TUID classId) {
    char text[33];
    for (int i = 0; i < 16; ++i)
        std::snprintf(text + 2 * i, 3, "%02X", static_cast<unsigned char>(classId[i]));
    return String(text);
}

void Vst3Plugin::load() {
    std::string sharedObject;
    try {
        sharedObject = findSharedObject(path).getStdString();
    } catch (const base::core::Exception& e) {
        writeError(e.getMessage());
        return;
    }
    void* handle = dlopen(sharedObject.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        writeError(reason ? String(reason) : String(StringBuilder() + "Could not load " + sharedObject));
        return;
    }
    // A module that refuses ModuleEntry is unloaded again, as nothing of it can have been used yet.
    if (auto entry = reinterpret_cast<ModuleEntryFunction>(dlsym(handle, "ModuleEntry"))) {
        if (!entry(handle)) {
            writeError(StringBuilder() + "ModuleEntry of " + sharedObject + " returned false");
            dlclose(handle);
            return;
        }
    }
    module = handle;
    auto getFactory = reinterpret_cast<GetFactoryFunction>(dlsym(module, "GetPluginFactory"));
    if (!getFactory) {
        writeError(StringBuilder() + "No GetPluginFactory in " + sharedObject);
        return;
    }
    // GetPluginFactory hands over a reference of its own.
    Steinberg::IPtr<Steinberg::IPluginFactory> madeFactory = Steinberg::owned(getFactory());
    if (!madeFactory) {
        writeError(StringBuilder() + "GetPluginFactory of " + sharedObject + " returned no factory");
        return;
    }
    factory = madeFactory;
    factory2 = Steinberg::FUnknownPtr<Steinberg::IPluginFactory2>(factory);

    Steinberg::PFactoryInfo factoryInfo{};
    factory->getFactoryInfo(&factoryInfo);
    // The count is asked anew after each class, as a factory may grow while it is asked.
    for (Steinberg::int32 index = 0; index < factory->countClasses(); ++index) {
        Steinberg::PClassInfo info{};
        if (factory->getClassInfo(index, &info) != Steinberg::kResultOk)
            continue;
        if (std::strncmp(info.category, AUDIO_MODULE_CLASS, sizeof(info.category)) != 0)
            continue;
        const String classId = toClassIdString(info.cid);
        classIds.push_back(classId);
        classInfos[classId] = info;
        if (factory2) {
            Steinberg::PClassInfo2 info2{};
            factory2->getClassInfo2(index, &info2);
            classInfos2[classId] = info2;
        }
    }
}

const Steinberg::PClassInfo& Vst3Plugin::getClassInfo(const String& classId) const {
    static const Steinberg::PClassInfo EMPTY{};
    auto found = classInfos.find(classId);
    return found == classInfos.end() ? EMPTY : found->second;
}

const Steinberg::PClassInfo2& Vst3Plugin::getClassInfo2(const String& classId) const {
    static const Steinberg::PClassInfo2 EMPTY{};
    auto found = classInfos2.find(classId);
    return found == classInfos2.end() ? EMPTY : found->second;
}

SmartPtr<PluginInstance> Vst3Plugin::createInstance(int instanceId, const String& deviceId, bool flag) {
    const String chosen = deviceId.length() == 0 && classIds.size() == 1 ? classIds.front() : deviceId;
    SmartPtr<Vst3PluginInstance> instance(new Vst3PluginInstance(host, this, instanceId, chosen, flag));
    instance->initNativePlugin();
    return instance;
}

void Vst3Plugin::listDeviceIds(std::vector<String>& deviceIds) {
    deviceIds.insert(deviceIds.end(), classIds.begin(), classIds.end());
}

PluginApi* Vst3Plugin::getApi() {
    return VST3_PLUGIN_API_INSTANCE;
}

} // namespace plugin
