#pragma once

#include "plugin/PluginInstance.h"
#include "vst3/Vst3EventList.h"
#include "vst3/Vst3Host.h"
#include "vst3/Vst3ParameterChanges.h"

#include "ipslviewscaling.h"
#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"
#include "pluginterfaces/vst/ivstnoteexpression.h"
#include "pluginterfaces/vst/ivstunits.h"

#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

namespace plugin {

class Vst3Plugin;

// Host side. One VST 3 audio processor class behind the PluginInstance interface: creates the component and
// its edit controller from the module's factory, wires them together (host context, component handler,
// connection points, component state), activates the buses, and answers the instance questions through
// the SDK interfaces. Its member `frame` is the IPlugFrame of its editor view. Every VST 3 interface it holds
// is an IPtr.
//
// Threads: the main thread for everything but the operations marked [audio], which run on the instance's
// audio thread between startProcess and stopProcess, and what the plug-in calls back: the component handler
// (Vst3Host) on whatever thread the plug-in chooses, and the IPlugFrame face from the editor on the main
// thread. A program chosen on the main thread reaches the audio thread through one atomic word.
class Vst3PluginInstance : public PluginInstance {
public:
    Vst3PluginInstance(PluginHost* host, Vst3Plugin* plugin, int instanceId,
                       const base::core::String& deviceId, bool flag);
    ~Vst3PluginInstance() override;

    // Creates and connects the plug-in's halves. Throws nothing: a failure leaves the instance without a
    // component, and wasSucessfullyInstanciated() false.
    void initNativePlugin();

    PluginApi* getApi() override;
    bool wasSucessfullyInstanciated() const override { return component != nullptr; }
    void prepareBeforeGettingInstanceReply() override {}
    std::vector<PluginClass> getSupportPluginClasses() override;
    bool hasAudioInput() const override;
    bool hasNoteInput() const override;
    bool hasAudioOutput() const override;
    bool hasNoteOutput() const override;
    bool wantSysexEvents() const override { return false; }
    bool supportsMPE() const override { return false; }
    bool supportsVST3NoteExpressions() const override;
    bool supportsDPIScaling() const override;
    int getPluginState() override { return state; }
    // Throw base::core::IOException when the plug-in cannot describe a bus.
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
    // Sets the plug-in up for processing and activates it; throws base::core::IOException naming the step
    // that the plug-in refused.
    void open() override;
    void destroy() override;
    void startProcess() override;
    void stopProcess() override;
    int getProgramCount() override;
    void getProgramName(int index, char* buffer, unsigned long size) override;
    int getCurrentProgram() override { return currentProgram; }
    void setCurrentProgram(int program, int sampleOffset) override;
    void getParameterName(int index, char* buffer, unsigned long size) override;
    void getParameterDisplay(int index, char* buffer, unsigned long size) override;
    void getParameterUnit(int index, char* buffer, unsigned long size) override;
    void getParameterInfo(int index, PluginParameterInfo& info) override;
    float getParameterNormalizedValue(int index) override;
    void setParameterNormalizedValue(int index, float value) override;
    // [audio] One block: automation and events from the audio context into the plug-in's queues and event
    // list, the plug-in's note output back. Returns 1 to keep processing, 2 while a tail rings out, 0 when
    // the output is silent.
    int process(unsigned int frames, bool inputHasSignal, bool realtime) override;
    int getParameterCount() const override;
    base::core::String getKeyName(int key) override { return base::core::String(); }
    bool hasGUI() const override;
    bool canResizeGUI() const override;
    void checkGUISizeConstraints(int& width, int& height) const override;
    void openGUI(void* parent, bool activate, const base::core::String& title) override;
    void closeGUI() override;
    void windowWasClosedFromGui() override;
    void onScrollWheel(float distance) override;
    void onKeyDown(base::core::Char character, short virtualKey, short modifiers) override;
    void onKeyUp(base::core::Char character, short virtualKey, short modifiers) override;
    void onSize(int x, int y, int width, int height) override;
    void onFocus(bool focused) override;
    void validateViewSize(PluginSize* size) override;
    // The SDK's preset file: class id, component state, controller state. Saving throws
    // base::core::IOException when the file cannot be opened or written; loading a file of another class
    // or none at all is ignored, one that cannot be opened throws base::core::IOException.
    void loadPreset(const base::core::String& path) override;
    void savePreset(const base::core::String& path) override;
    void pluginBeginEditParameter(int index) override;
    void pluginEndEditParameter(int index) override;

    // The IPlugFrame given to the editor view; it also answers Steinberg::Linux::IRunLoop.
    Steinberg::IPlugFrame* getFrame() { return &frame; }
    // [main] The plug-in's view asks for another size; sizes of 10 pixels or less are ignored.
    Steinberg::tresult resizeView(Steinberg::IPlugView* view, Steinberg::ViewRect* newSize);

    base::core::String getApiVersion() const { return "3"; }
    bool isNoteExpressionSupported(Steinberg::int32 bus, Steinberg::int32 channel,
                                   Steinberg::Vst::NoteExpressionTypeID typeId) const;
    Steinberg::Vst::IEditController* getController() const { return controller; }
    Steinberg::Vst::IComponent* getComponent() const { return component; }
    Vst3Host& getVst3Host() { return vst3Host; }
    Steinberg::Vst::IMidiMapping* getMidiMapping() const { return midiMapping; }
    Steinberg::Vst::INoteExpressionController* getNoteExpressionController() const {
        return noteExpressionController;
    }
    // [audio] A point for the parameter in this block's input queues; a 129th point of a queue is dropped.
    void addInputParameterPoint(Steinberg::Vst::ParamID id, int sampleOffset, double value);
    // [audio] This block's input parameter queues, emptied after each block.
    Vst3ParameterChanges& getInputParameterChanges() { return inputParameterChanges; }
    // [audio] A program change within the block being prepared: a point of the program parameter.
    void changeProgramInBlock(int program, int sampleOffset);
    bool isControllerComponent() const { return controllerIsComponent; }
    // Host modifier bits (0 shift, 1 control, 2 command, 3 alternate) as Steinberg::KeyModifier bits.
    static Steinberg::int16 translateModifiers(int hostModifiers);

private:
    // The frame is a member rather than a base: FUnknown's release() would hide base::core::Object's, and a
    // SmartPtr of this class would then never free it. Its count only counts: the instance's life is its
    // SmartPtr references.
    class Frame : public Steinberg::IPlugFrame {
    public:
        explicit Frame(Vst3PluginInstance& owner) : owner(owner) {}
        virtual ~Frame() = default;
        Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** object) override;
        Steinberg::uint32 PLUGIN_API addRef() override { return ++referenceCount; }
        Steinberg::uint32 PLUGIN_API release() override { return --referenceCount; }
        Steinberg::tresult PLUGIN_API resizeView(Steinberg::IPlugView* view,
                                                 Steinberg::ViewRect* newSize) override {
            return owner.resizeView(view, newSize);
        }

    private:
        Vst3PluginInstance& owner;
        std::atomic<Steinberg::uint32> referenceCount{1};
    };

    void listBuses(Steinberg::Vst::BusDirection direction,
                   std::vector<base::core::SmartPtr<PluginAudioBus>>& buses);
    int getTotalChannelCount(Steinberg::Vst::BusDirection direction) const;
    Steinberg::int32 getBusCount(Steinberg::Vst::MediaType type,
                                 Steinberg::Vst::BusDirection direction) const;
    void setBusArrangements();
    void activateBusesOfType(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection direction);
    bool readParameterInfo(int index, Steinberg::Vst::ParameterInfo& info) const;
    Steinberg::IPlugView* ensureView() const;
    void disconnectHalves();
    Steinberg::Vst::IEditController* separateController() const;
    // [main] Sizes the bus arrays of the process data once the buses are active.
    void prepareProcessData();
    // [audio] Points the bus buffers at the audio context's channels when those have moved.
    void bindBuses();
    void fillProcessContext();
    void copyOutputEvents(PluginAudioContext& context);
    void reportOutputParameterChanges();
    int processResult(unsigned int frames, bool inputHasSignal);
    // The normalised value of a program, or a negative value when there is no such program.
    double programValue(int program) const;

    Vst3Plugin* plugin;
    int state = CREATED;
    bool active = false;
    bool controllerIsComponent = true;
    std::atomic<int32_t> editedParameter{-1};
    Steinberg::FUID classId;
    int32_t currentProgram = -1;
    Steinberg::Vst::ProgramListID programListId = Steinberg::Vst::kNoProgramListId;
    Steinberg::Vst::ParamID programParameterId = 0xFFFFFFFF;
    int32_t programParameterIndex = -1;
    bool programParameterAutomatable = true;
    // Parameter ids with their indices, sorted by id, for the plug-in's output parameter changes.
    std::vector<std::pair<Steinberg::Vst::ParamID, int32_t>> parameterIndices;
    // A program change made on the main thread for the next block, handed over without a lock: 0 for
    // none, else bit 63, the sample offset in bits 32 to 47 and the value as float bits below.
    std::atomic<uint64_t> pendingProgramChange{0};
    int32_t silentSamples = 0;
    bool canProcess32 = false;
    bool noteInput = false;
    bool noteOutput = false;
    // Process data made at activation; only the channel pointers follow the audio context.
    static constexpr int MAX_BUSES = 64;
    Steinberg::Vst::ProcessData processData{};
    Steinberg::Vst::ProcessContext processContext{};
    std::vector<Steinberg::Vst::AudioBusBuffers> busBuffers[2];
    std::vector<int32_t> busFirstChannels[2];
    std::vector<int32_t> busChannelCounts[2];
    float** boundChannels[2] = {};
    PluginAudioContext* boundContext = nullptr;
    Vst3ParameterChanges inputParameterChanges;
    Vst3ParameterChanges outputParameterChanges;
    Vst3EventList inputEvents;
    Vst3EventList outputEvents;
    // Before the interfaces, so that both outlive every reference the plug-in holds to them.
    Vst3Host vst3Host;
    Frame frame{*this};
    // Released in reverse order of declaration: the editor first, the component last.
    Steinberg::IPtr<Steinberg::Vst::IComponent> component;
    Steinberg::IPtr<Steinberg::Vst::IEditController> controller;
    Steinberg::IPtr<Steinberg::Vst::IEditController2> controller2;
    Steinberg::IPtr<Steinberg::Vst::IAudioProcessor> processor;
    Steinberg::IPtr<Steinberg::Vst::IUnitInfo> unitInfo;
    Steinberg::IPtr<Steinberg::Vst::IUnitData> unitData;
    Steinberg::IPtr<Steinberg::Vst::IProgramListData> programListData;
    Steinberg::IPtr<Steinberg::Vst::INoteExpressionController> noteExpressionController;
    Steinberg::IPtr<Steinberg::Vst::IMidiMapping> midiMapping;
    Steinberg::IPtr<Steinberg::Vst::IConnectionPoint> componentConnection;
    Steinberg::IPtr<Steinberg::Vst::IConnectionPoint> controllerConnection;
    // Created on first need by const questions (hasGUI), hence mutable.
    mutable Steinberg::IPtr<Steinberg::IPlugView> view;
    mutable Steinberg::IPtr<Presonus::IPlugInViewScaling> viewScaling;
};

} // namespace plugin
