#pragma once

namespace plugin {

class ActivateAppGUIRequest;
class CloseGUIRequest;
class CreatePluginInstanceRequest;
class DeactivateAppGUIRequest;
class DestroyPluginInstanceRequest;
class HideAllGUIsRequest;
class LoadPresetRequest;
class OpenGUIRequest;
class PingRequest;
class SavePresetRequest;
class SetCurrentProgramRequest;
class SetWindowPositionRequest;
class SetWindowTitleRequest;
class ShowAllGUIsRequest;
class ShutdownRequest;
class UpdateIORequest;

// Both sides: one operation per request type, so that the side that acts on requests (the host) keeps
// that work out of the messages, which the client links without any host code.
class PluginHostRequestVisitor {
public:
    virtual void visit(CreatePluginInstanceRequest& request) = 0;
    virtual void visit(DestroyPluginInstanceRequest& request) = 0;
    virtual void visit(OpenGUIRequest& request) = 0;
    virtual void visit(CloseGUIRequest& request) = 0;
    virtual void visit(UpdateIORequest& request) = 0;
    virtual void visit(LoadPresetRequest& request) = 0;
    virtual void visit(SavePresetRequest& request) = 0;
    virtual void visit(SetCurrentProgramRequest& request) = 0;
    virtual void visit(ShowAllGUIsRequest& request) = 0;
    virtual void visit(HideAllGUIsRequest& request) = 0;
    virtual void visit(ActivateAppGUIRequest& request) = 0;
    virtual void visit(DeactivateAppGUIRequest& request) = 0;
    virtual void visit(ShutdownRequest& request) = 0;
    virtual void visit(PingRequest& request) = 0;
    virtual void visit(SetWindowTitleRequest& request) = 0;
    virtual void visit(SetWindowPositionRequest& request) = 0;

protected:
    ~PluginHostRequestVisitor() = default;
};

} // namespace plugin
