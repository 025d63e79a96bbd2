#include "plugin/PluginHostMainThreadRunner.h"

#include "base/core/Exception.h"
#include "base/core/FilePath.h"
#include "base/core/IOException.h"
#include "base/core/LocalFileSystem.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginHostNotifications.h"
#include "plugin/PluginHostProxyHandler.h"
#include "plugin/PluginHostReplies.h"
#include "plugin/PluginHostRequests.h"
#include "plugin/PluginInstance.h"
#include "plugin/PluginInstanceDescription.h"
#include "plugin/PluginWindow.h"

#include <cstdint>

namespace plugin {

using base::core::SmartPtr;
using base::core::String;
using base::core::StringBuilder;

namespace {

// The text of the exception being handled, whatever its kind.
String describeCurrentException() {
    try {
        throw;
    } catch (const base::core::Exception& e) {
        return e.getMessage();
    } catch (const std::exception& e) {
        return StringBuilder() + "Unexpected error: " + e.what();
    } catch (...) {
        return "Unexpected error of unknown kind";
    }
}

} // namespace

void PluginHostMainThreadRunner::runRequest(PluginHostRequest* request) {
    // Whatever a request's work throws (a plug-in's own exceptions too) becomes its error answer: no client
    // waits for ever.
    try {
        request->accept(*this);
    } catch (...) {
        fail(*request, describeCurrentException());
    }
}

void PluginHostMainThreadRunner::fail(PluginHostRequest& request, const String& message) {
    if (request.hasReply()) {
        handler->sendErrorMessage(&request, message);
        return;
    }
    base::core::getError()->writeLine(StringBuilder() + "Request " + request.getRequestType() +
                                      " failed: " + message);
}

void PluginHostMainThreadRunner::runNotification(PluginHostNotification* notification) {
    // Posted from another thread, a notification may run after its instance was destroyed and freed;
    // only a registered instance may be touched.
    PluginInstance* instance = notification->getInstance();
    const bool live = instance && host->getPluginInstance(
                                      static_cast<unsigned int>(notification->getInstanceId())) == instance;
    switch (notification->getNotificationType()) {
    case PluginHostNotification::UPDATE_PARAMETER:
    case PluginHostNotification::UPDATE_PARAMETER_DISPLAY:
        if (live)
            handler->sendNotification(notification);
        break;
    case PluginHostNotification::UPDATE_ALL_PARAMETERS:
        // Describes the instance as it is now, not as it was when the change was seen.
        if (live) {
            static_cast<UpdateAllParametersNotification*>(notification)
                ->setState(describePluginInstance(instance).get());
            handler->sendNotification(notification);
        }
        break;
    default:
        handler->sendNotification(notification);
        break;
    }
}

SmartPtr<PluginInstance> PluginHostMainThreadRunner::findInstance(PluginInstanceRequest& request) {
    SmartPtr<PluginInstance> instance =
        host->getPluginInstance(static_cast<unsigned int>(request.getInstanceId()));
    if (!instance) {
        const String message =
            StringBuilder() + "No plugin instance found with id " + request.getInstanceId();
        base::core::getError()->writeLine(message);
        // A client waiting for an answer gets one, so that its wait ends.
        if (request.hasReply())
            handler->sendErrorMessage(&request, message);
    }
    return instance;
}

// Creation.

void PluginHostMainThreadRunner::visit(CreatePluginInstanceRequest& request) {
    PluginInstance* instance = host->createPluginInstance(request.getInstanceId(), request.getPluginPath(),
                                                          request.getDeviceId(), request.getFlag());
    instance->setSettingUp(true);
    try {
        instance->prepareBeforeGettingInstanceReply();
        if (!request.getPresetPath().isEmpty()) {
            try {
                instance->loadPreset(request.getPresetPath());
            } catch (...) {
                // The instance stays created and registered; the client decides what becomes of it.
                fail(request, describeCurrentException());
                return;
            }
        }
        // Without its audio block (for instance one another user holds) the instance is of no use.
        handler->initializePluginInstance(instance);
        host->enableAudio(instance);
        instance->setProxyHandler(handler);
        instance->setSettingUp(false);
        handler->sendReply(&request, makeCreatePluginInstanceReply(instance).get());
    } catch (...) {
        // Nothing of a half-made instance stays: the client only learns of the failure.
        const String message = describeCurrentException();
        host->destroyPluginInstance(instance);
        fail(request, message);
    }
}

// Instance requests.

void PluginHostMainThreadRunner::visit(DestroyPluginInstanceRequest& request) {
    if (const SmartPtr<PluginInstance> instance = findInstance(request))
        host->destroyPluginInstance(instance.get());
}

void PluginHostMainThreadRunner::visit(OpenGUIRequest& request) {
    if (const SmartPtr<PluginInstance> instance = findInstance(request))
        instance->openGUI(reinterpret_cast<void*>(static_cast<intptr_t>(request.getParentWindowHandle())),
                          request.getFlag(), request.getTitle());
}

void PluginHostMainThreadRunner::visit(CloseGUIRequest& request) {
    if (const SmartPtr<PluginInstance> instance = findInstance(request))
        instance->closeGUI();
}

void PluginHostMainThreadRunner::visit(UpdateIORequest& request) {
    if (const SmartPtr<PluginInstance> instance = findInstance(request))
        handler->sendReply(&request, makeDefineIoReply(instance.get()).get());
}

void PluginHostMainThreadRunner::visit(LoadPresetRequest& request) {
    const SmartPtr<PluginInstance> instance = findInstance(request);
    if (!instance)
        return;
    instance->loadPreset(request.getPresetPath());
    const SmartPtr<LoadPresetReply> reply =
        new LoadPresetReply(request.getInstanceId(), request.getPresetPath());
    handler->sendReply(&request, reply.get());
}

void PluginHostMainThreadRunner::visit(SavePresetRequest& request) {
    const SmartPtr<PluginInstance> instance = findInstance(request);
    if (!instance)
        return;
    base::core::FilePath directory = base::core::LocalFileSystem::filePathFromNative(request.getPresetPath());
    directory.setToParent();
    base::core::LocalFileSystem::getInstance()->createDirectories(directory);
    instance->savePreset(request.getPresetPath());
    const SmartPtr<SavePresetReply> reply =
        new SavePresetReply(request.getInstanceId(), request.getPresetPath());
    handler->sendReply(&request, reply.get());
}

void PluginHostMainThreadRunner::visit(SetCurrentProgramRequest& request) {
    if (const SmartPtr<PluginInstance> instance = findInstance(request))
        instance->setCurrentProgram(request.getProgramIndex(), 0);
}

void PluginHostMainThreadRunner::visit(SetWindowTitleRequest& request) {
    if (const SmartPtr<PluginInstance> instance = findInstance(request))
        instance->setWindowTitle(request.getTitle());
}

void PluginHostMainThreadRunner::visit(SetWindowPositionRequest& request) {
    if (const SmartPtr<PluginInstance> instance = findInstance(request))
        instance->setWindowRect(request.getX(), request.getY(), request.getWidth(), request.getHeight());
}

// Host requests.

void PluginHostMainThreadRunner::visit(ShowAllGUIsRequest&) {
    for (const SmartPtr<PluginInstance>& instance : host->getPluginInstances()) {
        PluginWindow* window = instance->getWindow();
        if (window && instance->isHidden()) {
            {
                // Showing the window moves it; that is not a move the client needs to hear of.
                const PluginInstance::SuppressedWindowNotifications suppressed(instance.get());
                window->show();
            }
            instance->setHidden(false);
        }
    }
}

void PluginHostMainThreadRunner::visit(HideAllGUIsRequest&) {
    for (const SmartPtr<PluginInstance>& instance : host->getPluginInstances()) {
        PluginWindow* window = instance->getWindow();
        if (window && !instance->isHidden()) {
            instance->setHidden(true);
            window->hide();
        }
    }
}

// X11 has no activation of an application as a whole; raising every editor window is its equivalent.
void PluginHostMainThreadRunner::visit(ActivateAppGUIRequest&) {
    for (const SmartPtr<PluginInstance>& instance : host->getPluginInstances()) {
        if (PluginWindow* window = instance->getWindow())
            window->activate();
    }
}

// X11 has no way to give up activation other than another client taking the focus, so nothing to do.
void PluginHostMainThreadRunner::visit(DeactivateAppGUIRequest&) {}

void PluginHostMainThreadRunner::visit(ShutdownRequest&) {
    handler->shutdown();
}

void PluginHostMainThreadRunner::visit(PingRequest& request) {
    handler->sendVoidReply(&request);
}

} // namespace plugin
