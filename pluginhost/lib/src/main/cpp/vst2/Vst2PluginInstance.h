#pragma once

#include "plugin/PluginInstance.h"
#include "vst2/Vst2Abi.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace plugin {

class Vst2Plugin;

// The host callback handed to every VST 2 effect. It finds the instance through the effect's resvd1.
VstIntPtr vstAudioMasterCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt);

// One VST 2.4 effect behind the PluginInstance interface: every operation becomes dispatcher calls, and
// the plug-in's requests arrive through vstAudioMasterCallback.
class Vst2PluginInstance : public PluginInstance {
public:
    static constexpr int EVENT_LIST_CAPACITY = 256;
    static constexpr int EVENT_STORAGE_SIZE = 8192;

    Vst2PluginInstance(PluginHost* host, Vst2Plugin* plugin, int instanceId, bool flag, int deviceId);
    ~Vst2PluginInstance() override;

    // Adopts the given effect or creates one through the module's entry function; throws PluginException
    // "createAEffectInstance returned NULL." when there is none.
    void initNativePlugin(AEffect* pendingEffect);

    PluginApi* getApi() override;
    bool wasSucessfullyInstanciated() const override { return effect != nullptr; }
    void prepareBeforeGettingInstanceReply() override;
    std::vector<PluginClass> getSupportPluginClasses() override;
    bool hasAudioInput() const override;
    bool hasNoteInput() const override;
    bool hasAudioOutput() const override;
    bool hasNoteOutput() const override { return sendsMidi; }
    bool wantSysexEvents() const override { return wantsSysex; }
    bool supportsMPE() const override;
    bool supportsDPIScaling() const override;
    int getPluginState() override { return state; }
    void listAudioInputBuses(std::vector<base::core::SmartPtr<PluginAudioBus>>& buses) override;
    void listAudioOutputBuses(std::vector<base::core::SmartPtr<PluginAudioBus>>& buses) override;
    int getTotalAudioInChannelCount() override;
    int getTotalAudioOutChannelCount() override;
    base::core::String getProductName() override;
    base::core::String getProductVendorName() override;
    base::core::String getProductIdentifier() override;
    base::core::String getCategory() override;
    base::core::String getProductVersion() override;
    int getPluginLatency() override;
    void open() override;
    void destroy() override;
    void startProcess() override;
    void stopProcess() override;
    int getProgramCount() override;
    void getProgramName(int index, char* buffer, unsigned long size) override;
    int getCurrentProgram() override;
    void setCurrentProgram(int index, int sampleOffset) override;
    void getParameterName(int index, char* buffer, unsigned long size) override;
    void getParameterDisplay(int index, char* buffer, unsigned long size) override;
    void getParameterUnit(int index, char* buffer, unsigned long size) override;
    void getParameterInfo(int index, PluginParameterInfo& info) override;
    float getParameterNormalizedValue(int index) override;
    void setParameterNormalizedValue(int index, float value) override;
    int process(unsigned int frames, bool keepActive, bool realtime) override;
    int getParameterCount() const override;
    base::core::String getKeyName(int key) override;
    bool hasGUI() const override;
    bool canResizeGUI() const override { return false; }
    void checkGUISizeConstraints(int& width, int& height) const override {}
    void openGUI(void* parent, bool activate, const base::core::String& title) override;
    void closeGUI() override;
    void windowWasClosedFromGui() override;
    void onScrollWheel(float distance) override {}
    void onKeyDown(base::core::Char character, short virtualKey, short modifiers) override;
    void onKeyUp(base::core::Char character, short virtualKey, short modifiers) override;
    void onFocus(bool focused) override {}
    void validateViewSize(PluginSize* size) override {}
    void idle() override;
    void loadPreset(const base::core::String& path) override;
    void savePreset(const base::core::String& path) override;
    void pluginBeginEditParameter(int index) override;
    void pluginEndEditParameter(int index) override;

    AEffect* getEffect() const { return effect; }
    int getDeviceId() const { return deviceId; }
    // The parameter that the plug-in's own editor is changing, -1 when none.
    int getEditedParameter() const { return editedParameter.load(); }
    // Host modifier bits (0 shift, 1 command, 2 control, 3 alternate) as VstModifierKey bits.
    static int translateModifiers(int hostModifiers);

private:
    friend VstIntPtr vstAudioMasterCallback(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float);

    // Stores the editor's size when the plug-in reports one.
    void readEditorSize();
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f) const;
    bool canDo(const char* capability) const;
    base::core::String getEffectText(VstInt32 opcode) const;
    void listBuses(std::vector<base::core::SmartPtr<PluginAudioBus>>& buses, VstInt32 opcode, int count,
                   const char* monoWord, const char* stereoWord);
    VstTimeInfo* updateTimeInfo();
    // Hands the block's MIDI (and, when wanted, sysex) records to the plug-in.
    void deliverInputEvents(PluginAudioContext& context);
    // 0 quiet, 1 active, 2 possibly still sounding.
    int processResult(unsigned int frames, bool keepActive);
    void copyOutputEvents(const VstEvents* events);

    Vst2Plugin* plugin;
    AEffect* effect = nullptr;
    int state = CREATED;
    VstTimeInfo timeInfo{};
    // Room for EVENT_LIST_CAPACITY event pointers, and the events they point to; made by open().
    std::unique_ptr<unsigned char[]> inputEventList;
    std::unique_ptr<unsigned char[]> inputEventStorage;
    int inputEventStorageSize = 0;
    bool receivesMidi = false;
    bool sendsMidi = false;
    bool wantsSysex = false;
    bool generator = false;
    int32_t silenceCounter = 0;
    bool realtime = true;
    bool needsIdle = false;
    bool inProcess = false;
    // Set from the plug-in's editor thread, read from the audio and main threads.
    std::atomic<int32_t> editedParameter{-1};
    int deviceId;
};

} // namespace plugin
