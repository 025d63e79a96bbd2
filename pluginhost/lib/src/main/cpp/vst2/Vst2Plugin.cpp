#include "vst2/Vst2Plugin.h"

#include "base/core/Exception.h"
#include "base/core/LocalFileSystem.h"
#include "base/core/OutputStream.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "plugin/PluginApi.h"
#include "plugin/PluginException.h"
#include "vst2/Vst2PluginInstance.h"

#include <dlfcn.h>
#include <utility>

namespace plugin {

using base::core::FilePath;
using base::core::LocalFileSystem;
using base::core::SmartPtr;
using base::core::String;
using base::core::StringBuilder;

int32_t SHELL_ID = 0;

namespace {

void writeError(const String& message) {
    base::core::getError()->writeLineAndFlush(message);
}

} // namespace

Vst2Plugin::Vst2Plugin(const String& path, PluginHost* host) : path(path), host(host) {}

Vst2Plugin::~Vst2Plugin() {
    if (pendingEffect)
        pendingEffect->dispatcher(pendingEffect, effClose, 0, 0, nullptr, 0.0f);
}

String Vst2Plugin::findSharedObject(const String& nativePath) {
    LocalFileSystem* fileSystem = LocalFileSystem::getInstance();
    const FilePath filePath = LocalFileSystem::filePathFromNative(nativePath);
    if (!fileSystem->isDirectory(filePath))
        return LocalFileSystem::filePathToNative(filePath);

    const String stem = FilePath(filePath.getName()).getFilePathWithoutExtension().toString();
    FilePath inner = filePath;
    inner.appendPath("Contents").appendPath("x86_64-linux").appendPath(StringBuilder(stem) + ".so");
    if (fileSystem->isFile(inner))
        return LocalFileSystem::filePathToNative(inner);

    FilePath only;
    int count = 0;
    for (const FilePath& child : fileSystem->listChildPaths(filePath)) {
        if (child.getName().endsWith(".so") && fileSystem->isFile(child)) {
            only = child;
            ++count;
        }
    }
    // Without a single candidate the conventional location is tried, so the loader names what is missing.
    return LocalFileSystem::filePathToNative(count == 1 ? only : inner);
}

void Vst2Plugin::load() {
    try {
        const std::string sharedObject = findSharedObject(path).getStdString();
        module = dlopen(sharedObject.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            const char* reason = dlerror();
            writeError(reason ? String(reason) : String(StringBuilder() + "Could not load " + sharedObject));
            return;
        }
        // Older Linux plug-ins export only "main"; the first name found wins.
        for (const char* name : {"VSTPluginMain", "main_macho", "main"}) {
            if (void* function = dlsym(module, name)) {
                entryPoint = reinterpret_cast<VstPluginMainProc>(function);
                return;
            }
        }
        writeError(StringBuilder() + "No VST 2 entry function in " + sharedObject);
    } catch (const base::core::Exception& e) {
        writeError(e.getMessage());
    }
}

AEffect* Vst2Plugin::createEffect() {
    if (!entryPoint)
        return nullptr;
    AEffect* effect = entryPoint(vstAudioMasterCallback);
    return effect && effect->magic == kEffectMagic ? effect : nullptr;
}

PluginApi* Vst2Plugin::getApi() {
    return VST2_PLUGIN_API_INSTANCE;
}

void Vst2Plugin::listDeviceIds(std::vector<String>& deviceIds) {
    // The shell itself, not one of its plug-ins, must answer the enumeration.
    SHELL_ID = 0;
    AEffect* effect = createEffect();
    if (!effect)
        throw PluginException("createAEffectInstance returned NULL");
    if (effect->dispatcher(effect, effGetPlugCategory, 0, 0, nullptr, 0.0f) != kPlugCategShell) {
        deviceIds.push_back(String::fromInt(effect->uniqueID));
        if (pendingEffect)
            pendingEffect->dispatcher(pendingEffect, effClose, 0, 0, nullptr, 0.0f);
        pendingEffect = effect;
        return;
    }

    char name[256] = {};
    int found = 0;
    for (;;) {
        const auto id =
            static_cast<int32_t>(effect->dispatcher(effect, effShellGetNextPlugin, 0, 0, name, 0.0f));
        if (id == 0)
            break;
        deviceIds.push_back(String::fromInt(id));
        ++found;
    }
    // Only the enumeration needed this effect.
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    if (found == 0)
        throw PluginException("Shell plug-in is empty");
}

SmartPtr<PluginInstance> Vst2Plugin::createInstance(int instanceId, const String& deviceId, bool flag) {
    const int numericDeviceId = deviceId.isEmpty() ? 0 : deviceId.asInt32();
    SmartPtr<Vst2PluginInstance> instance(
        new Vst2PluginInstance(host, this, instanceId, flag, numericDeviceId));
    instance->initNativePlugin(std::exchange(pendingEffect, nullptr));
    return instance;
}

} // namespace plugin
