#pragma once

#include "base/core/SmartPtr.h"
#include "base/core/String.h"
#include "plugin/PluginHostMessageRunner.h"
#include "plugin/PluginHostRequestVisitor.h"

namespace plugin {

class PluginHost;
class PluginHostProxyHandler;
class PluginInstance;
class PluginInstanceRequest;

// Host side, main thread only: the work of each request on the host, answered through the handler
// (whatever the work throws becomes the error answer; a request addressed to an unknown instance is logged,
// and answered with an error when it has a reply), and the sending of each notification. Owned by the
// handler, which it does not hold.
class PluginHostMainThreadRunner : public PluginHostMessageRunner, public PluginHostRequestVisitor {
public:
    PluginHostMainThreadRunner(PluginHost* host, PluginHostProxyHandler* handler)
        : host(host), handler(handler) {}

    void runRequest(PluginHostRequest* request) override;
    void runNotification(PluginHostNotification* notification) override;

    // Creates, sets up and registers the instance, then answers with its description.
    void visit(CreatePluginInstanceRequest& request) override;
    void visit(DestroyPluginInstanceRequest& request) override;
    void visit(OpenGUIRequest& request) override;
    void visit(CloseGUIRequest& request) override;
    void visit(UpdateIORequest& request) override;
    void visit(LoadPresetRequest& request) override;
    void visit(SavePresetRequest& request) override;
    void visit(SetCurrentProgramRequest& request) override;
    void visit(ShowAllGUIsRequest& request) override;
    void visit(HideAllGUIsRequest& request) override;
    void visit(ActivateAppGUIRequest& request) override;
    void visit(DeactivateAppGUIRequest& request) override;
    void visit(ShutdownRequest& request) override;
    void visit(PingRequest& request) override;
    void visit(SetWindowTitleRequest& request) override;
    void visit(SetWindowPositionRequest& request) override;

private:
    // The request's instance, held so that a request that destroys it still has it until it returns;
    // null after logging (and answering) that there is none.
    base::core::SmartPtr<PluginInstance> findInstance(PluginInstanceRequest& request);
    // The error answer, or the error line for a request that has no answer.
    void fail(PluginHostRequest& request, const base::core::String& message);

    PluginHost* host;
    PluginHostProxyHandler* handler;
};

} // namespace plugin
