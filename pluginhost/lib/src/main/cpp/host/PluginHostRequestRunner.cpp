#include "plugin/PluginHostRequestRunner.h"

#include "base/core/Exception.h"
#include "base/core/FilePath.h"
#include "base/core/IOException.h"
#include "base/core/LocalFileSystem.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginHostProxyHandler.h"
#include "plugin/PluginHostReplies.h"
#include "plugin/PluginHostRequests.h"
#include "plugin/PluginInstance.h"
#include "plugin/PluginInstanceDescription.h"
#include "plugin/PluginWindow.h"

#include <cstdint>

namespace plugin {

using base::core::SmartPtr;
using base::core::StringBuilder;

SmartPtr<PluginInstance> PluginHostRequestRunner::findInstance(const PluginInstanceRequest& request) const {
    SmartPtr<PluginInstance> instance =
        host->getPluginInstance(static_cast<unsigned int>(request.getInstanceId()));
    if (!instance)
        base::core::getError()->writeLine(StringBuilder() + "No plugin instance found with id " +
                                          request.getInstanceId());
    return instance;
}

// Creation.

void PluginHostRequestRunner::visit(CreatePluginInstanceRequest& request) {
    PluginInstance* instance;
    try {
        instance = host->createPluginInstance(request.getInstanceId(), request.getPluginPath(),
                                              request.getDeviceId(), request.getFlag());
    } catch (const base::core::Exception& e) {
        handler->sendErrorMessage(&request, e.getMessage());
        return;
    }
    instance->setSettingUp(true);
    instance->prepareBeforeGettingInstanceReply();
    if (!request.getPresetPath().isEmpty()) {
        try {
            instance->loadPreset(request.getPresetPath());
        } catch (const base::core::Exception& e) {
            // The instance stays created and registered; the client decides what becomes of it.
            handler->sendErrorMessage(&request, e.getMessage());
            return;
        }
    }
    handler->initializePluginInstance(instance);
    instance->setProxyHandler(handler);
    instance->setSettingUp(false);
    handler->sendReply(&request, makeCreatePluginInstanceReply(instance).get());
}

// Instance requests.

void PluginHostRequestRunner::visit(DestroyPluginInstanceRequest& request) {
    if (const SmartPtr<PluginInstance> instance = findInstance(request))
        host->destroyPluginInstance(instance.get());
}

void PluginHostRequestRunner::visit(OpenGUIRequest& request) {
    if (const SmartPtr<PluginInstance> instance = findInstance(request))
        instance->openGUI(reinterpret_cast<void*>(static_cast<intptr_t>(request.getParentWindowHandle())),
                          request.getFlag(), request.getTitle());
}

void PluginHostRequestRunner::visit(CloseGUIRequest& request) {
    if (const SmartPtr<PluginInstance> instance = findInstance(request))
        instance->closeGUI();
}

void PluginHostRequestRunner::visit(UpdateIORequest& request) {
    if (const SmartPtr<PluginInstance> instance = findInstance(request))
        handler->sendReply(&request, makeDefineIoReply(instance.get()).get());
}

void PluginHostRequestRunner::visit(LoadPresetRequest& request) {
    const SmartPtr<PluginInstance> instance = findInstance(request);
    if (!instance)
        return;
    try {
        instance->loadPreset(request.getPresetPath());
    } catch (const base::core::Exception& e) {
        // Any failure, not only a file's: an unanswered request would leave the client waiting.
        handler->sendErrorMessage(&request, e.getMessage());
        return;
    }
    const SmartPtr<LoadPresetReply> reply =
        new LoadPresetReply(request.getInstanceId(), request.getPresetPath());
    handler->sendReply(&request, reply.get());
}

void PluginHostRequestRunner::visit(SavePresetRequest& request) {
    const SmartPtr<PluginInstance> instance = findInstance(request);
    if (!instance)
        return;
    try {
        base::core::FilePath directory =
            base::core::LocalFileSystem::filePathFromNative(request.getPresetPath());
        directory.setToParent();
        base::core::LocalFileSystem::getInstance()->createDirectories(directory);
        instance->savePreset(request.getPresetPath());
    } catch (const base::core::Exception& e) {
        handler->sendErrorMessage(&request, e.getMessage());
        return;
    }
    const SmartPtr<SavePresetReply> reply =
        new SavePresetReply(request.getInstanceId(), request.getPresetPath());
    handler->sendReply(&request, reply.get());
}

void PluginHostRequestRunner::visit(SetCurrentProgramRequest& request) {
    if (const SmartPtr<PluginInstance> instance = findInstance(request))
        instance->setCurrentProgram(request.getProgramIndex(), 0);
}

void PluginHostRequestRunner::visit(SetWindowTitleRequest& request) {
    if (const SmartPtr<PluginInstance> instance = findInstance(request))
        instance->setWindowTitle(request.getTitle());
}

void PluginHostRequestRunner::visit(SetWindowPositionRequest& request) {
    if (const SmartPtr<PluginInstance> instance = findInstance(request))
        instance->setWindowRect(request.getX(), request.getY(), request.getWidth(), request.getHeight());
}

// Host requests.

void PluginHostRequestRunner::visit(ShowAllGUIsRequest&) {
    for (const SmartPtr<PluginInstance>& instance : host->getPluginInstances()) {
        PluginWindow* window = instance->getWindow();
        if (window && instance->isHidden()) {
            // Showing the window moves it; that is not a move the client needs to hear of.
            instance->setWindowNotificationsSuppressed(true);
            window->show();
            instance->setWindowNotificationsSuppressed(false);
            instance->setHidden(false);
        }
    }
}

void PluginHostRequestRunner::visit(HideAllGUIsRequest&) {
    for (const SmartPtr<PluginInstance>& instance : host->getPluginInstances()) {
        PluginWindow* window = instance->getWindow();
        if (window && !instance->isHidden()) {
            instance->setHidden(true);
            window->hide();
        }
    }
}

// X11 has no activation of an application as a whole; raising every editor window is its equivalent.
void PluginHostRequestRunner::visit(ActivateAppGUIRequest&) {
    for (const SmartPtr<PluginInstance>& instance : host->getPluginInstances()) {
        if (PluginWindow* window = instance->getWindow())
            window->activate();
    }
}

// X11 has no way to give up activation other than another client taking the focus, so nothing to do.
void PluginHostRequestRunner::visit(DeactivateAppGUIRequest&) {}

void PluginHostRequestRunner::visit(ShutdownRequest&) {
    handler->shutdown();
}

void PluginHostRequestRunner::visit(PingRequest& request) {
    handler->sendVoidReply(&request);
}

} // namespace plugin
