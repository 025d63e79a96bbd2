#pragma once

#include "base/core/Object.h"
#include "base/core/SmartPtr.h"
#include "base/core/String.h"
#include "plugin/PluginAudioContext.h"
#include "plugin/PluginParameterInfo.h"
#include "plugin/PluginSize.h"
#include "plugin/PluginWindow.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace plugin {

class PluginApi;
class PluginAudioBus;
class PluginHost;
class PluginHostProxyHandler;

// The abstract plug-in instance; each format implements it. The base keeps the link to the host and
// handler, the audio context and channel pointers into it, the editor window and its geometry, and
// sends the notifications that every format shares.
class PluginInstance : public base::core::Object {
public:
    enum PluginClass { AUDIO_TO_AUDIO = 0, NOTE_TO_AUDIO = 1, NOTE_TO_NOTE = 2, AUDIO_TO_NOTE = 3 };
    enum PluginState { CREATED = 0, OPEN = 1, PROCESSING = 2, DESTROYED = 3 };

    PluginInstance(PluginHost* host, int instanceId, bool flag);
    ~PluginInstance() override;

    virtual PluginApi* getApi() = 0;
    virtual bool wasSucessfullyInstanciated() const = 0;
    virtual void prepareBeforeGettingInstanceReply() = 0;
    virtual std::vector<PluginClass> getSupportPluginClasses() = 0;
    virtual bool hasAudioInput() const = 0;
    virtual bool hasNoteInput() const = 0;
    virtual bool hasAudioOutput() const = 0;
    virtual bool hasNoteOutput() const = 0;
    virtual bool wantSysexEvents() const = 0;
    virtual bool supportsMPE() const = 0;
    virtual bool supportsVST3NoteExpressions() const { return false; }
    virtual bool supportsDPIScaling() const = 0;
    virtual int getPluginState() = 0;
    virtual void listAudioInputBuses(std::vector<base::core::SmartPtr<PluginAudioBus>>& buses) = 0;
    virtual void listAudioOutputBuses(std::vector<base::core::SmartPtr<PluginAudioBus>>& buses) = 0;
    virtual int getTotalAudioInChannelCount() = 0;
    virtual int getTotalAudioOutChannelCount() = 0;
    virtual base::core::String getProductName() = 0;
    virtual base::core::String getProductVendorName() = 0;
    virtual base::core::String getProductIdentifier() = 0;
    virtual base::core::String getCategory() = 0;
    virtual base::core::String getProductVersion() = 0;
    virtual int getPluginLatency() = 0;
    virtual void open() = 0;
    virtual void destroy() = 0;
    virtual void startProcess() = 0;
    virtual void stopProcess() = 0;
    virtual int getProgramCount() = 0;
    virtual void getProgramName(int index, char* buffer, unsigned long size) = 0;
    virtual int getCurrentProgram() = 0;
    virtual void setCurrentProgram(int index, int sampleOffset) = 0;
    virtual void getParameterName(int index, char* buffer, unsigned long size) = 0;
    virtual void getParameterDisplay(int index, char* buffer, unsigned long size) = 0;
    virtual void getParameterUnit(int index, char* buffer, unsigned long size) = 0;
    virtual void getParameterInfo(int index, PluginParameterInfo& info) = 0;
    virtual float getParameterNormalizedValue(int index) = 0;
    virtual void setParameterNormalizedValue(int index, float value);
    virtual int process(unsigned int frames, bool flag1, bool flag2) = 0;
    virtual int getParameterCount() const = 0;
    virtual base::core::String getKeyName(int key) = 0;
    virtual bool hasGUI() const = 0;
    virtual bool canResizeGUI() const = 0;
    virtual void checkGUISizeConstraints(int& width, int& height) const = 0;
    virtual void openGUI(void* parent, bool flag, const base::core::String& title) = 0;
    virtual void setWindowTitle(const base::core::String& title);
    virtual void closeGUI() = 0;
    virtual void windowWasClosedFromGui() = 0;
    virtual void onScrollWheel(float distance) = 0;
    virtual void onKeyDown(base::core::Char character, short virtualKey, short modifiers) = 0;
    virtual void onKeyUp(base::core::Char character, short virtualKey, short modifiers) = 0;
    virtual void onSize(int x, int y, int width, int height);
    virtual void onFocus(bool focused) = 0;
    virtual void validateViewSize(PluginSize* size) = 0;
    virtual void idle();
    virtual void guiIdle() {}
    virtual bool needsGuiIdle() { return false; }
    virtual void loadPreset(const base::core::String& path) = 0;
    virtual void savePreset(const base::core::String& path) = 0;
    virtual void pluginBeginEditParameter(int index);
    virtual void pluginEndEditParameter(int index);

    void setAudioContext(PluginAudioContext* context);
    void refreshAllParameters();
    // The plug-in itself changed a parameter (automation, its editor).
    void pluginChangedNormalizedValue(int index, float value);

    PluginHost* getHost() const { return host; }
    int getInstanceId() const { return instanceId; }
    PluginHostProxyHandler* getProxyHandler() const { return proxyHandler; }
    void setProxyHandler(PluginHostProxyHandler* handler) { proxyHandler = handler; }
    PluginAudioContext* getAudioContext() const { return audioContext.get(); }
    bool isSettingUp() const { return settingUp; }
    void setSettingUp(bool value) { settingUp = value; }
    // Holds the setting-up flag for one scope (a query or a preset moving), so that what the plug-in reports
    // meanwhile sends no notifications; then puts back what it was, as creation holds it too.
    class SettingUpScope {
    public:
        explicit SettingUpScope(PluginInstance* instance)
            : instance(instance), previous(instance->settingUp) {
            instance->settingUp = true;
        }
        SettingUpScope(const SettingUpScope&) = delete;
        SettingUpScope& operator=(const SettingUpScope&) = delete;
        ~SettingUpScope() { instance->settingUp = previous; }

    private:
        PluginInstance* instance;
        bool previous;
    };
    bool isRefreshRequested() const { return refreshRequested; }
    bool isDestroying() const { return destroying; }
    int getPendingParameterChanges() const { return pendingParameterChanges.load(); }
    bool isHidden() const { return hidden; }
    void setHidden(bool value) { hidden = value; }
    bool getCreationFlag() const { return creationFlag; }
    bool areWindowNotificationsSuppressed() const { return windowNotificationsSuppressed; }
    // Keeps onSize and the window's move reports silent for one scope (an editor being built or shown).
    class SuppressedWindowNotifications {
    public:
        explicit SuppressedWindowNotifications(PluginInstance* instance) : instance(instance) {
            instance->setWindowNotificationsSuppressed(true);
        }
        SuppressedWindowNotifications(const SuppressedWindowNotifications&) = delete;
        SuppressedWindowNotifications& operator=(const SuppressedWindowNotifications&) = delete;
        ~SuppressedWindowNotifications() { instance->setWindowNotificationsSuppressed(false); }

    private:
        PluginInstance* instance;
    };
    void setWindowNotificationsSuppressed(bool value) { windowNotificationsSuppressed = value; }
    bool isWindowSizeKnown() const { return windowSizeKnown; }
    void setWindowRect(int x, int y, int width, int height);
    void setWindowPosition(int x, int y);
    // The editor size alone, as a plug-in asks for it; leaves the size-known flag as it is.
    void setWindowSize(int width, int height) {
        windowWidth = width;
        windowHeight = height;
    }
    int getWindowX() const { return windowX; }
    int getWindowY() const { return windowY; }
    int getWindowWidth() const { return windowWidth; }
    int getWindowHeight() const { return windowHeight; }
    PluginWindow* getWindow() const { return window.get(); }
    void setWindow(std::unique_ptr<PluginWindow> newWindow);
    // Deletes the window (which tells the client it closed).
    void deleteWindow() { window.reset(); }
    // Sizes, places and shows the window once the plug-in's editor sits in it, at the last known place.
    void showEditorWindow(bool activate);

protected:
    float** inputChannels = nullptr;
    int inputChannelCount = 0;
    float** outputChannels = nullptr;
    int outputChannelCount = 0;
    PluginTransportInfo* transport = nullptr;
    bool destroying = false;

private:
    // Notifications wait until the client has the instance.
    bool mayNotify() const { return !settingUp && proxyHandler != nullptr; }
    // Sends a parameter or edit notification on the main thread; from any other thread hands it to the
    // host's notification queue, without a lock or an allocation.
    void notify(uint8_t kind, int index, float value);
    bool isWatchedParameter(int index) const;
    void freeChannelArrays();

    base::core::SmartPtr<PluginAudioContext> audioContext;
    bool settingUp = false;
    PluginHost* host;
    int instanceId;
    PluginHostProxyHandler* proxyHandler = nullptr;
    bool refreshRequested = false;
    std::atomic<int32_t> pendingParameterChanges{0};
    bool hidden = false;
    bool creationFlag;
    bool windowNotificationsSuppressed = false;
    bool windowSizeKnown = false;
    int windowX = 0;
    int windowY = 0;
    int windowWidth = 0;
    int windowHeight = 0;
    std::unique_ptr<PluginWindow> window;
};

} // namespace plugin
