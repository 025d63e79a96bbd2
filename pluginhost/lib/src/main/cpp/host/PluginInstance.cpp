#include "plugin/PluginInstance.h"

#include "plugin/PluginHost.h"
#include "plugin/PluginHostNotificationQueue.h"
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
    if (isWatchedParameter(index))
        audioContext->parameterFlag(index).fetch_or(PluginAudioContext::PARAMETER_CHANGED);
    notify(PluginHostNotificationQueue::UPDATE_PARAMETER, index, value);
}

void PluginInstance::notify(uint8_t kind, int index, float value) {
    const auto recordKind = static_cast<PluginHostNotificationQueue::Kind>(kind);
    if (!host->isMainThread()) {
        host->getNotificationQueue().push({recordKind, instanceId, index, value});
        return;
    }
    SmartPtr<PluginHostNotification> notification;
    if (recordKind == PluginHostNotificationQueue::UPDATE_PARAMETER)
        notification = new UpdateParameterNotification(proxyHandler, this, index, value);
    else
        notification = new BeginOrEndEditParameterNotification(
            proxyHandler, this, index, recordKind == PluginHostNotificationQueue::BEGIN_EDIT_PARAMETER);
    notification->run();
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
        notify(PluginHostNotificationQueue::BEGIN_EDIT_PARAMETER, index, 0.0f);
}

void PluginInstance::pluginEndEditParameter(int index) {
    if (mayNotify())
        notify(PluginHostNotificationQueue::END_EDIT_PARAMETER, index, 0.0f);
}

void PluginInstance::refreshAllParameters() {
    if (settingUp)
        return;
    if (!host->isMainThread()) {
        // Raised inside processing (audioMasterUpdateDisplay): the main thread makes the notification.
        host->getNotificationQueue().push(
            {PluginHostNotificationQueue::UPDATE_ALL_PARAMETERS, instanceId, 0, 0});
        return;
    }
    refreshRequested = true;
    if (proxyHandler) {
        SmartPtr<PluginHostNotification> notification(
            new UpdateAllParametersNotification(proxyHandler, this));
        notification->run();
    }
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

void PluginInstance::showEditorWindow(bool activate) {
    window->resize(windowWidth, windowHeight);
    if (windowSizeKnown)
        window->move(windowX, windowY);
    window->show();
    if (activate)
        window->activate();
    hidden = false;
}

} // namespace plugin
