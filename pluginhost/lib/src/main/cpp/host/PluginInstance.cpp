#include "plugin/PluginInstance.h"

#include "plugin/PluginHost.h"
#include "plugin/PluginHostNotificationPool.h"
#include "plugin/PluginHostNotifications.h"
#include "plugin/PluginHostProxyHandler.h"
#include "plugin/PluginText.h"

#include <cstdlib>
#include <cstring>

namespace plugin {

using base::core::SmartPtr;
using base::core::String;

PluginInstance::PluginInstance(PluginHost* host, int instanceId, bool flag)
    : host(host), instanceId(instanceId), creationFlag(flag) {}

PluginInstance::~PluginInstance() {
    freeChannelArrays();
    window.reset();
}

void PluginInstance::freeChannelArrays() {
    std::free(inputChannels);
    std::free(outputChannels);
    inputChannels = nullptr;
    outputChannels = nullptr;
}

void PluginInstance::setAudioContext(PluginAudioContext* context) {
    freeChannelArrays();
    audioContext = context;
    inputChannelCount = context ? context->getInputChannelCount() : 0;
    outputChannelCount = context ? context->getOutputChannelCount() : 0;
    if (inputChannelCount > 0) {
        inputChannels = static_cast<float**>(std::malloc(sizeof(float*) * inputChannelCount));
        for (int c = 0; c < inputChannelCount; ++c)
            inputChannels[c] = context->getInputChannel(c);
    }
    if (outputChannelCount > 0) {
        outputChannels = static_cast<float**>(std::malloc(sizeof(float*) * outputChannelCount));
        for (int c = 0; c < outputChannelCount; ++c)
            outputChannels[c] = context->getOutputChannel(c);
    }
    transport = context ? context->getTransport() : nullptr;
}

bool PluginInstance::isWatchedParameter(int index) const {
    return audioContext && index >= 0 && index < audioContext->getParameterCount() &&
           (audioContext->parameterFlag(index).load() & PluginAudioContext::PARAMETER_WATCHED) != 0;
}

void PluginInstance::setParameterNormalizedValue(int index, float) {
    if (isWatchedParameter(index)) {
        audioContext->parameterFlag(index).fetch_or(PluginAudioContext::PARAMETER_CHANGED);
        pendingParameterChanges.fetch_add(1);
    }
}

void PluginInstance::pluginChangedNormalizedValue(int index, float value) {
    if (!mayNotify())
        return;
    host->execOnMainThread(host->getNotificationPool().makeUpdateParameter(proxyHandler, this, index, value));
    if (isWatchedParameter(index))
        audioContext->parameterFlag(index).fetch_or(PluginAudioContext::PARAMETER_CHANGED);
}

void PluginInstance::idle() {
    if (!audioContext)
        return;
    pendingParameterChanges.store(0);
    const int count = getParameterCount();
    for (int index = 0; index < count && index < audioContext->getParameterCount(); ++index) {
        auto flag = audioContext->parameterFlag(index);
        if ((flag.load() & PluginAudioContext::PARAMETER_CHANGED) == 0)
            continue;
        flag.fetch_and(static_cast<uint8_t>(~PluginAudioContext::PARAMETER_CHANGED));
        char name[256] = {};
        char display[256] = {};
        getParameterName(index, name, sizeof name);
        getParameterDisplay(index, display, sizeof display);
        if (mayNotify())
            host->execOnMainThread(new UpdateParameterDisplayNotification(
                proxyHandler, this, index, decodePluginText(name), decodePluginText(display)));
    }
}

void PluginInstance::pluginBeginEditParameter(int index) {
    if (mayNotify())
        host->execOnMainThread(
            host->getNotificationPool().makeBeginOrEndEditParameter(proxyHandler, this, index, true));
}

void PluginInstance::pluginEndEditParameter(int index) {
    if (mayNotify())
        host->execOnMainThread(
            host->getNotificationPool().makeBeginOrEndEditParameter(proxyHandler, this, index, false));
}

void PluginInstance::refreshAllParameters() {
    if (settingUp)
        return;
    refreshRequested = true;
    if (proxyHandler)
        host->execOnMainThread(new UpdateAllParametersNotification(proxyHandler, this));
}

void PluginInstance::onSize(int, int, int width, int height) {
    if (windowNotificationsSuppressed)
        return;
    windowSizeKnown = true;
    windowWidth = width;
    windowHeight = height;
    if (PluginHostProxyHandler* handler = host->getProxyHandler()) {
        SmartPtr<PluginWindowMovedNotification> moved(
            new PluginWindowMovedNotification(handler, this, windowX, windowY, windowWidth, windowHeight));
        handler->sendNotification(moved.get());
    }
}

void PluginInstance::setWindowTitle(const String& title) {
    if (window)
        window->setTitle(title);
}

void PluginInstance::setWindowRect(int x, int y, int width, int height) {
    windowX = x;
    windowY = y;
    windowWidth = width;
    windowHeight = height;
    windowSizeKnown = true;
}

void PluginInstance::setWindowPosition(int x, int y) {
    windowX = x;
    windowY = y;
}

void PluginInstance::setWindow(std::unique_ptr<PluginWindow> newWindow) {
    window = std::move(newWindow);
    if (window)
        hidden = false;
}

} // namespace plugin
