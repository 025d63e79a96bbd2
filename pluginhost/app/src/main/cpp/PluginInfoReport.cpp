#include "PluginInfoReport.h"

#include "PluginModuleFinder.h"

#include "base/core/Exception.h"
#include "base/core/LocalFileSystem.h"
#include "base/core/OutputStream.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "plugin/Plugin.h"
#include "plugin/PluginApi.h"
#include "plugin/PluginAudioBus.h"
#include "plugin/PluginException.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginInstance.h"

#include <exception>
#include <vector>

namespace plugin {

using base::core::FilePath;
using base::core::LocalFileSystem;
using base::core::OutputStream;
using base::core::SmartPtr;
using base::core::String;
using base::core::StringBuilder;

int32_t nextPluginInstanceId = 1;

namespace {

const char* yesNo(bool value) {
    return value ? "yes" : "no";
}

const char* deviceTypeName(PluginInstance::PluginClass pluginClass) {
    switch (pluginClass) {
    case PluginInstance::AUDIO_TO_AUDIO:
        return "audio_to_audio";
    case PluginInstance::NOTE_TO_AUDIO:
        return "note_to_audio";
    case PluginInstance::NOTE_TO_NOTE:
        return "note_to_note";
    case PluginInstance::AUDIO_TO_NOTE:
        return "audio_to_note";
    }
    return nullptr;
}

String deviceTypes(const std::vector<PluginInstance::PluginClass>& classes) {
    if (classes.empty())
        return "audio_to_audio";
    StringBuilder text;
    bool first = true;
    for (PluginInstance::PluginClass pluginClass : classes) {
        const char* name = deviceTypeName(pluginClass);
        if (!name)
            continue;
        if (!first)
            text + ",";
        text + name;
        first = false;
    }
    return text;
}

void writeBlock(PluginInstance* instance, OutputStream* out) {
    std::vector<SmartPtr<PluginAudioBus>> inputBuses;
    std::vector<SmartPtr<PluginAudioBus>> outputBuses;
    out->writeLine("PLUGIN:");
    out->writeLine(StringBuilder() + "Vendor:" + instance->getProductVendorName());
    out->writeLine(StringBuilder() + "Name:" + instance->getProductName());
    out->writeLine(StringBuilder() + "API:" + instance->getApi()->getName());
    out->writeLine(StringBuilder() + "Identifier:" + instance->getProductIdentifier());
    out->writeLine(StringBuilder() + "Version:" + instance->getProductVersion());
    out->writeLine(StringBuilder() + "Category:" + instance->getCategory());
    out->writeLine("Is64Bit:yes");
    out->writeLine(StringBuilder() + "HasAudioInput:" + yesNo(instance->hasAudioInput()));
    out->writeLine(StringBuilder() + "HasNoteInput:" + yesNo(instance->hasNoteInput()));
    out->writeLine(StringBuilder() + "HasAudioOutput:" + yesNo(instance->hasAudioOutput()));
    out->writeLine(StringBuilder() + "HasNoteOutput:" + yesNo(instance->hasNoteOutput()));
    instance->listAudioInputBuses(inputBuses);
    out->writeLine(StringBuilder() + "AudioInBusCount:" + static_cast<int>(inputBuses.size()));
    instance->listAudioOutputBuses(outputBuses);
    out->writeLine(StringBuilder() + "AudioOutBusCount:" + static_cast<int>(outputBuses.size()));
    out->writeLine(StringBuilder() + "AudioInChannelCount:" + instance->getTotalAudioInChannelCount());
    out->writeLine(StringBuilder() + "AudioOutChannelCount:" + instance->getTotalAudioOutChannelCount());
    out->writeLine(StringBuilder() + "DeviceTypes:" + deviceTypes(instance->getSupportPluginClasses()));
}

// Describes every plug-in of the module; true when all of them were described.
bool writeBlocks(PluginHost* host, const String& modulePath, OutputStream* out) {
    const int instanceId = nextPluginInstanceId++;
    Plugin* plugin = host->getPlugin(modulePath);
    if (!plugin || !plugin->wasSuccesfullyLoaded())
        throw PluginException(StringBuilder() + "Couldn't load VST plug-in: " + modulePath);
    std::vector<String> deviceIds;
    plugin->listDeviceIds(deviceIds);
    bool complete = true;
    for (const String& deviceId : deviceIds) {
        PluginInstance* instance = nullptr;
        try {
            instance = host->createPluginInstance(instanceId, modulePath, deviceId, false);
            writeBlock(instance, out);
        } catch (const base::core::Exception& e) {
            out->writeLine(StringBuilder() + "Exception Thrown:" + e.getMessage());
            complete = false;
        } catch (...) {
            complete = false;
        }
        out->writeLine("");
        if (instance)
            host->destroyPluginInstance(instance);
    }
    return complete;
}

} // namespace

void listPlugins(const FilePath& path) {
    findPluginModules(path, [](const FilePath& module) {
        OutputStream* out = base::core::getOut();
        out->writeLineAndFlush(LocalFileSystem::filePathToNative(module));
    });
}

int32_t writePluginInfo(const String& modulePath, OutputStream* out) {
    out->writeString(StringBuilder() + "Printing plug-in meta data for " + modulePath + " ...\n");
    out->writeLine("");
    int32_t status = 0;
    try {
        SmartPtr<PluginHost> host(new PluginHost(44100, 256));
        status = writeBlocks(host.get(), modulePath, out) ? 0 : 1;
    } catch (const base::core::Exception& e) {
        out->writeLine(StringBuilder() + "Exception Thrown:" + e.getMessage());
        status = -1;
    } catch (const std::exception& e) {
        out->writeLine(StringBuilder() + "Exception thrown: " + e.what());
        status = -3;
    } catch (...) {
        out->writeLine("Unknown exception thrown.");
        status = -2;
    }
    out->flush();
    return status;
}

} // namespace plugin
