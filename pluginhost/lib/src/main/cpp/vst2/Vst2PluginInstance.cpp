#include "vst2/Vst2PluginInstance.h"

#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "plugin/PluginApi.h"
#include "plugin/PluginAudioBus.h"
#include "plugin/PluginException.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginText.h"
#include "vst2/Vst2Plugin.h"
#include "vst2/Vst2PresetFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace plugin {

using base::core::Char;
using base::core::SmartPtr;
using base::core::String;
using base::core::StringBuilder;

namespace {

// Plug-ins fill fixed buffers and do not always terminate them.
String decodeText(const char* bytes, size_t size) {
    const std::string text(bytes, strnlen(bytes, size));
    return decodePluginText(text.c_str());
}

const char* const CATEGORY_NAMES[] = {
    "Unknown",        "Effect",   "Synth",       "Analysis", "Mastering", "Spacializer",
    "Delay / Reverb", "Surround", "Restoration", "Offline",  "Shell",     "Generator",
};

// The capabilities the host offers; compared exactly, letter case included.
const char* const HOST_CAPABILITIES[] = {
    "sendVstEvents",    "sendVstMidiEvent",    "sendVstSysexEvent",    "sendVstTimeInfo",
    "receiveVstEvents", "receiveVstMidiEvent", "receiveVstSysexEvent", "startStopProcess",
    "sizeWindow",       "supportShell",        "shellCategory",
};

constexpr VstInt32 TIME_INFO_ALWAYS_VALID = kVstAutomationReading | kVstNanosValid | kVstPpqPosValid |
                                            kVstTempoValid | kVstCyclePosValid | kVstTimeSigValid;

} // namespace

Vst2PluginInstance::Vst2PluginInstance(PluginHost* host, Vst2Plugin* plugin, int instanceId, bool flag,
                                       int deviceId)
    : PluginInstance(host, instanceId, flag), plugin(plugin), deviceId(deviceId) {}

Vst2PluginInstance::~Vst2PluginInstance() {
    if (!effect)
        return;
    destroying = true; // the plug-in's callbacks during effClose find an instance going away
    if (state == OPEN)
        dispatch(effClose);
    else
        effect->resvd1 = 0; // a plug-in calling back later must not find this object
}

void Vst2PluginInstance::initNativePlugin(AEffect* pendingEffect) {
    SHELL_ID = deviceId;
    AEffect* created = pendingEffect ? pendingEffect : plugin->createEffect();
    if (!created)
        throw PluginException("createAEffectInstance returned NULL.");
    effect = created;
    dispatch(effGetVstVersion);
    effect->resvd1 = reinterpret_cast<VstIntPtr>(this);
    dispatch(effGetPlugCategory);
}

VstIntPtr Vst2PluginInstance::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                       float opt) const {
    return effect ? effect->dispatcher(effect, opcode, index, value, ptr, opt) : 0;
}

bool Vst2PluginInstance::canDo(const char* capability) const {
    return dispatch(effCanDo, 0, 0, const_cast<char*>(capability)) == 1;
}

PluginApi* Vst2PluginInstance::getApi() {
    return VST2_PLUGIN_API_INSTANCE;
}

void Vst2PluginInstance::prepareBeforeGettingInstanceReply() {
    dispatch(effMainsChanged, 0, 1);
}

std::vector<PluginInstance::PluginClass> Vst2PluginInstance::getSupportPluginClasses() {
    std::vector<PluginClass> classes;
    if (!effect)
        return {AUDIO_TO_AUDIO};
    const bool audioIn = effect->numInputs > 0;
    if (effect->flags & effFlagsIsSynth)
        classes.push_back(NOTE_TO_AUDIO);
    if (audioIn && effect->numOutputs > 0)
        classes.push_back(AUDIO_TO_AUDIO);
    if (receivesMidi && sendsMidi)
        classes.push_back(NOTE_TO_NOTE);
    if (audioIn && sendsMidi)
        classes.push_back(AUDIO_TO_NOTE);
    if (classes.empty())
        classes.push_back(AUDIO_TO_AUDIO);
    return classes;
}

bool Vst2PluginInstance::hasAudioInput() const {
    return effect && effect->numInputs > 0;
}

bool Vst2PluginInstance::hasNoteInput() const {
    return (effect && (effect->flags & effFlagsIsSynth) != 0) || receivesMidi;
}

bool Vst2PluginInstance::hasAudioOutput() const {
    return effect && effect->numOutputs > 0;
}

bool Vst2PluginInstance::supportsMPE() const {
    return dispatch(effCanDo, 0, 0, const_cast<char*>("MPE")) > 0;
}

bool Vst2PluginInstance::supportsDPIScaling() const {
    return canDo("supportsViewDpiScaling");
}

void Vst2PluginInstance::listBuses(std::vector<SmartPtr<PluginAudioBus>>& buses, VstInt32 opcode, int count,
                                   const char* monoWord, const char* stereoWord) {
    int next = 0;
    while (next < count) {
        VstPinProperties pin;
        std::memset(&pin, 0, sizeof pin);
        if (dispatch(opcode, next, 0, &pin) != 1)
            break;
        const int channels = (pin.flags & kVstPinIsStereo) ? 2 : 1;
        buses.push_back(new PluginAudioBus(decodeText(pin.label, sizeof pin.label), next, channels));
        next += channels;
    }

    // Channels the plug-in did not describe are offered in pairs and, when there are more than two,
    // also one by one.
    const int rest = count - next;
    if (rest == 1) {
        buses.push_back(new PluginAudioBus(monoWord, next));
    } else if (rest == 2) {
        buses.push_back(new PluginAudioBus(stereoWord, next, 2));
    } else if (rest >= 3) {
        for (int pair = 1; pair <= rest / 2; ++pair)
            buses.push_back(
                new PluginAudioBus(StringBuilder() + stereoWord + " " + pair, next + 2 * (pair - 1), 2));
        for (int single = 1; single <= rest; ++single)
            buses.push_back(new PluginAudioBus(StringBuilder() + monoWord + " " + single, next + single - 1));
    }
}

void Vst2PluginInstance::listAudioInputBuses(std::vector<SmartPtr<PluginAudioBus>>& buses) {
    listBuses(buses, effGetInputProperties, getTotalAudioInChannelCount(), "Mono In", "Stereo In");
}

void Vst2PluginInstance::listAudioOutputBuses(std::vector<SmartPtr<PluginAudioBus>>& buses) {
    listBuses(buses, effGetOutputProperties, getTotalAudioOutChannelCount(), "Mono Out", "Stereo Out");
}

int Vst2PluginInstance::getTotalAudioInChannelCount() {
    return effect ? effect->numInputs : 0;
}

int Vst2PluginInstance::getTotalAudioOutChannelCount() {
    return effect ? effect->numOutputs : 0;
}

String Vst2PluginInstance::getEffectText(VstInt32 opcode) const {
    char buffer[128] = {};
    dispatch(opcode, 0, 0, buffer);
    return decodeText(buffer, sizeof buffer);
}

String Vst2PluginInstance::getProductName() {
    return getEffectText(effGetEffectName);
}

String Vst2PluginInstance::getProductVendorName() {
    return getEffectText(effGetVendorString);
}

String Vst2PluginInstance::getProductIdentifier() {
    char text[16];
    std::snprintf(text, sizeof text, "%x", static_cast<unsigned int>(effect ? effect->uniqueID : 0));
    return text;
}

String Vst2PluginInstance::getCategory() {
    const VstIntPtr category = dispatch(effGetPlugCategory);
    if (category < 0 || category >= static_cast<VstIntPtr>(std::size(CATEGORY_NAMES)))
        return "Other";
    return CATEGORY_NAMES[category];
}

String Vst2PluginInstance::getProductVersion() {
    return String::fromInt(static_cast<int>(dispatch(effGetVendorVersion)));
}

int Vst2PluginInstance::getPluginLatency() {
    return effect ? effect->initialDelay : 0;
}

void Vst2PluginInstance::open() {
    PluginHost* host = getHost();
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(host->getSampleRate()));
    dispatch(effSetBlockSize, 0, host->getBlockSize());
    receivesMidi = canDo("receiveVstMidiEvent");
    sendsMidi = canDo("sendVstMidiEvent");
    wantsSysex = canDo("receiveVstSysexEvent");
    inputEventList.reset(
        new unsigned char[sizeof(VstEvents) + (EVENT_LIST_CAPACITY - 2) * sizeof(VstEvent*)]());
    inputEventStorage.reset(new unsigned char[EVENT_STORAGE_SIZE]());
    inputEventStorageSize = EVENT_STORAGE_SIZE;
    generator = dispatch(effGetPlugCategory) == kPlugCategGenerator;
    dispatch(effMainsChanged, 0, 1);
    state = OPEN;
}

void Vst2PluginInstance::destroy() {
    destroying = true;
    if (state == PROCESSING)
        stopProcess();
    dispatch(effMainsChanged, 0, 0);
    closeGUI();
    dispatch(effClose);
    effect = nullptr; // gone with effClose
    state = DESTROYED;
}

void Vst2PluginInstance::startProcess() {
    dispatch(effStartProcess);
    state = PROCESSING;
}

void Vst2PluginInstance::stopProcess() {
    dispatch(effStopProcess);
    state = OPEN;
}

int Vst2PluginInstance::getProgramCount() {
    return effect ? effect->numPrograms : 0;
}

void Vst2PluginInstance::getProgramName(int index, char* buffer, unsigned long size) {
    std::memset(buffer, 0, size);
    dispatch(effGetProgramNameIndexed, index, 0, buffer);
}

int Vst2PluginInstance::getCurrentProgram() {
    return static_cast<int>(dispatch(effGetProgram));
}

void Vst2PluginInstance::setCurrentProgram(int index, int) {
    dispatch(effSetProgram, 0, index);
}

void Vst2PluginInstance::getParameterName(int index, char* buffer, unsigned long size) {
    VstParameterProperties properties;
    std::memset(&properties, 0, sizeof properties);
    if (dispatch(effGetParameterProperties, index, 0, &properties) == 1 && properties.label[0] != 0) {
        char label[sizeof properties.label + 1] = {};
        std::memcpy(label, properties.label, sizeof properties.label);
        std::strncpy(buffer, label, size);
        if (size > 0)
            buffer[size - 1] = 0;
        return;
    }
    dispatch(effGetParamName, index, 0, buffer);
}

void Vst2PluginInstance::getParameterDisplay(int index, char* buffer, unsigned long) {
    dispatch(effGetParamDisplay, index, 0, buffer);
}

void Vst2PluginInstance::getParameterUnit(int index, char* buffer, unsigned long) {
    dispatch(effGetParamLabel, index, 0, buffer);
}

void Vst2PluginInstance::getParameterInfo(int index, PluginParameterInfo& info) {
    info.automatable = dispatch(effCanBeAutomated, index) != 0;
    info.isInteger = false;
    info.isBoolean = false;
    VstParameterProperties properties;
    std::memset(&properties, 0, sizeof properties);
    if (dispatch(effGetParameterProperties, index, 0, &properties) != 1) {
        info.index = index;
        return;
    }
    const VstInt32 flags = properties.flags;
    info.index = (flags & kVstParameterSupportsDisplayIndex) ? properties.displayIndex : index;
    info.isBoolean = (flags & kVstParameterIsSwitch) != 0;
    info.isInteger = (flags & kVstParameterUsesIntegerMinMax) != 0;
    info.minValue = properties.minInteger;
    info.maxValue = properties.maxInteger;
    if (flags & kVstParameterSupportsDisplayCategory) {
        char label[sizeof properties.categoryLabel + 1] = {};
        std::memcpy(label, properties.categoryLabel, sizeof properties.categoryLabel);
        info.category = String(label);
    }
}

float Vst2PluginInstance::getParameterNormalizedValue(int index) {
    return effect ? effect->getParameter(effect, index) : 0.0f;
}

void Vst2PluginInstance::setParameterNormalizedValue(int index, float value) {
    // The plug-in's own editor is moving this parameter; the client's value would fight it.
    if (index == editedParameter.load() || !effect)
        return;
    effect->setParameter(effect, index, value);
    PluginInstance::setParameterNormalizedValue(index, value);
}

int Vst2PluginInstance::process(unsigned int frames, bool keepActive, bool realtime) {
    inProcess = true;
    this->realtime = realtime;
    PluginAudioContext* context = getAudioContext();
    if (effect && context) {
        auto& changes = context->getParameterChanges();
        for (uint32_t i = 0, count = changes.count(); i < count && i < changes.capacity; ++i)
            setParameterNormalizedValue(changes[i].index, changes[i].value);
    }
    if (effect && context && state == PROCESSING) {
        if ((effect->flags & effFlagsIsSynth) || receivesMidi)
            deliverInputEvents(*context);
        const bool replacing = (effect->flags & effFlagsCanReplacing) != 0;
        // The accumulating routine adds to what the outputs hold.
        if (outputChannelCount > 0 && !replacing)
            std::memset(context->getOutputArea(), 0,
                        sizeof(float) * context->getOutputChannelCount() * context->getPaddedBlockSize());
        float** inputs = inputChannelCount > 0 ? inputChannels : nullptr;
        AEffectProcessProc routine = replacing ? effect->processReplacing : effect->process;
        if (routine)
            routine(effect, inputs, outputChannels, static_cast<VstInt32>(frames));
    }
    inProcess = false;
    return processResult(frames, keepActive);
}

void Vst2PluginInstance::deliverInputEvents(PluginAudioContext& context) {
    auto* list = reinterpret_cast<VstEvents*>(inputEventList.get());
    list->reserved = 0;
    auto& records = context.getInputEvents();
    const int32_t recordCount = static_cast<int32_t>(records.count());
    if (recordCount <= 0) {
        list->numEvents = 0;
        return;
    }
    int placed = 0;
    size_t used = 0;
    for (int32_t i = 0; i < recordCount && static_cast<uint32_t>(i) < records.capacity; ++i) {
        PluginHostEvent& record = records[static_cast<uint32_t>(i)];
        const bool midi = record.kind == PluginHostEvent::MIDI;
        if (!midi && !(record.kind == PluginHostEvent::SYSEX && wantsSysex))
            continue;
        const size_t size = midi ? sizeof(VstMidiEvent) : sizeof(VstMidiSysexEvent);
        if (used + size > static_cast<size_t>(inputEventStorageSize))
            break; // this and the later events of the block are dropped
        if (placed == EVENT_LIST_CAPACITY) {
            base::core::getOut()->writeLineAndFlush("input event buffer overflow");
            break;
        }
        unsigned char* slot = inputEventStorage.get() + used;
        if (midi) {
            auto* event = reinterpret_cast<VstMidiEvent*>(slot);
            *event = VstMidiEvent{};
            event->type = kVstMidiType;
            event->byteSize = sizeof(VstMidiEvent);
            event->deltaFrames = record.sampleOffset;
            std::memcpy(event->midiData, record.midi, 3);
        } else {
            auto* event = reinterpret_cast<VstMidiSysexEvent*>(slot);
            *event = VstMidiSysexEvent{};
            event->type = kVstSysExType;
            event->byteSize = sizeof(VstMidiSysexEvent);
            event->deltaFrames = record.sampleOffset;
            event->dumpBytes = record.sysexSize;
            // Passed by address: the bytes stay in the shared record.
            event->sysexDump = reinterpret_cast<char*>(record.sysex.bytes);
        }
        list->events[placed++] = reinterpret_cast<VstEvent*>(slot);
        used += size;
    }
    list->numEvents = placed;
    dispatch(effProcessEvents, 0, 0, list);
}

int Vst2PluginInstance::processResult(unsigned int frames, bool keepActive) {
    if (generator)
        return 1;
    silenceCounter += static_cast<int32_t>(frames);
    if (keepActive || getWindow()) {
        silenceCounter = 0;
        return 1;
    }
    const VstIntPtr tail = dispatch(effGetTailSize);
    if (tail == 1)
        return 0;
    if (tail == 0)
        return effect && (effect->flags & effFlagsNoSoundInStop) ? 0 : 2;
    if (tail < 0)
        return 2;
    return silenceCounter > getPluginLatency() + tail ? 0 : 2;
}

int Vst2PluginInstance::getParameterCount() const {
    return effect ? effect->numParams : 0;
}

String Vst2PluginInstance::getKeyName(int key) {
    MidiKeyName name;
    std::memset(&name, 0, sizeof name);
    name.thisProgramIndex = std::max(0, getCurrentProgram());
    name.thisKeyNumber = key;
    const VstIntPtr result = dispatch(effGetMidiKeyName, 0, 0, &name);
    name.keyName[sizeof name.keyName - 1] = 0;
    if (result == 0 || std::strcmp(name.keyName, "---") == 0)
        return String();
    return decodePluginText(name.keyName);
}

bool Vst2PluginInstance::hasGUI() const {
    return effect && (effect->flags & effFlagsHasEditor) != 0;
}

void Vst2PluginInstance::readEditorSize() {
    ERect* rect = nullptr;
    if (dispatch(effEditGetRect, 0, 0, &rect) != 0 && rect != nullptr)
        setWindowSize(rect->right - rect->left, rect->bottom - rect->top);
}

void Vst2PluginInstance::openGUI(void* parent, bool activate, const String& title) {
    if (getWindow())
        return;
    // onSize stays silent while the editor is being built.
    const SuppressedWindowNotifications suppressed(this);
    // The window first: a plug-in may build its editor as soon as it is asked for its size, and without a
    // display that could end the host.
    std::unique_ptr<PluginWindow> created = getHost()->createPluginWindow(
        this, reinterpret_cast<intptr_t>(parent), getWindowWidth(), getWindowHeight(), canResizeGUI());
    if (!created)
        return; // the factory said why
    PluginWindow* window = created.get();
    setWindow(std::move(created));
    readEditorSize();
    if (getCreationFlag()) {
        dispatch(effVendorSpecific, 0x50726553 /* 'PreS' */, 0x41654373 /* 'AeCs' */, nullptr,
                 static_cast<float>(window->getContentScalingFactor()));
    }
    dispatch(effEditOpen, 0, 0, window->getPluginViewContainer());
    if (!window->afterPluginWindowAttached()) {
        base::core::getError()->writeLine("The editor window could not take the plug-in's editor");
        dispatch(effEditClose);
        deleteWindow();
        return;
    }
    window->setTitle(title);
    readEditorSize();
    showEditorWindow(activate);
}

void Vst2PluginInstance::closeGUI() {
    if (!getWindow())
        return;
    dispatch(effEditClose);
    deleteWindow(); // tells the client the window closed
    setHidden(false);
}

void Vst2PluginInstance::windowWasClosedFromGui() {
    closeGUI();
}

int Vst2PluginInstance::translateModifiers(int hostModifiers) {
    int modifiers = 0;
    if (hostModifiers & (1 << 0))
        modifiers |= MODIFIER_SHIFT;
    if (hostModifiers & (1 << 3))
        modifiers |= MODIFIER_ALTERNATE;
    if (hostModifiers & (1 << 1))
        modifiers |= MODIFIER_COMMAND;
    if (hostModifiers & (1 << 2))
        modifiers |= MODIFIER_CONTROL;
    return modifiers;
}

void Vst2PluginInstance::onKeyDown(Char character, short, short modifiers) {
    dispatch(effEditKeyDown, static_cast<VstInt32>(character), 0, nullptr,
             static_cast<float>(translateModifiers(modifiers)));
}

void Vst2PluginInstance::onKeyUp(Char character, short, short modifiers) {
    dispatch(effEditKeyUp, static_cast<VstInt32>(character), 0, nullptr,
             static_cast<float>(translateModifiers(modifiers)));
}

void Vst2PluginInstance::idle() {
    PluginInstance::idle();
    if (needsIdle)
        dispatch(effIdle);
    if (getWindow())
        dispatch(effEditIdle);
}

// The plug-in's own notifications stay in the host while a preset moves.
void Vst2PluginInstance::loadPreset(const String& path) {
    {
        SettingUpScope settingUp(this);
        Vst2PresetFile(effect).load(path);
    }
    // One update of every value instead of the plug-in's own reports (none while still being created).
    refreshAllParameters();
}

void Vst2PluginInstance::savePreset(const String& path) {
    SettingUpScope settingUp(this);
    Vst2PresetFile(effect).save(path);
}

void Vst2PluginInstance::pluginBeginEditParameter(int index) {
    PluginInstance::pluginBeginEditParameter(index);
    int none = -1;
    editedParameter.compare_exchange_strong(none, index);
}

void Vst2PluginInstance::pluginEndEditParameter(int index) {
    PluginInstance::pluginEndEditParameter(index);
    int edited = index;
    editedParameter.compare_exchange_strong(edited, -1);
}

VstTimeInfo* Vst2PluginInstance::updateTimeInfo() {
    const PluginTransportInfo& source = *transport;
    timeInfo.samplePos = static_cast<double>(source.positionInSamples);
    timeInfo.sampleRate = source.sampleRate;
    timeInfo.nanoSeconds = source.systemTime;
    timeInfo.ppqPos = source.positionInQuarterNotes;
    timeInfo.tempo = source.tempo;
    timeInfo.barStartPos = source.barStartInQuarterNotes;
    timeInfo.cycleStartPos = source.loopStartInQuarterNotes;
    timeInfo.cycleEndPos = source.loopEndInQuarterNotes;
    timeInfo.timeSigNumerator = source.timeSignatureNumerator;
    timeInfo.timeSigDenominator = source.timeSignatureDenominator;
    timeInfo.smpteOffset = 0;
    timeInfo.smpteFrameRate = 0;
    timeInfo.samplesToNextClock = 0;
    // Bar positions are filled but not announced as valid, as plug-ins have come to expect.
    VstInt32 flags = TIME_INFO_ALWAYS_VALID;
    const uint32_t transportFlags = source.flags;
    if (transportFlags & PluginTransportInfo::TRANSPORT_CHANGED)
        flags |= kVstTransportChanged;
    if (transportFlags & PluginTransportInfo::PLAYING)
        flags |= kVstTransportPlaying;
    if (transportFlags & PluginTransportInfo::LOOP_ACTIVE)
        flags |= kVstTransportCycleActive;
    if (transportFlags & PluginTransportInfo::RECORDING)
        flags |= kVstTransportRecording;
    if (transportFlags & PluginTransportInfo::AUTOMATION_WRITING)
        flags |= kVstAutomationWriting;
    timeInfo.flags = flags;
    return &timeInfo;
}

void Vst2PluginInstance::copyOutputEvents(const VstEvents* events) {
    PluginAudioContext* context = getAudioContext();
    if (!inProcess || !context || !events)
        return;
    PluginAudioContextList<PluginHostEvent>& output = context->getOutputEvents();
    const int lastOffset = std::max(0, getHost()->getBlockSize() - 1);
    for (VstInt32 i = 0; i < events->numEvents; ++i) {
        const VstEvent* event = events->events[i];
        if (!event || event->type != kVstMidiType)
            continue;
        const uint32_t count = output.count();
        if (count >= output.capacity)
            break;
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
        PluginHostEvent& record = output[count];
        record.kind = PluginHostEvent::MIDI;
        record.sampleOffset = static_cast<uint16_t>(std::clamp(midi->deltaFrames, 0, lastOffset));
        std::memcpy(record.midi, midi->midiData, 3);
        output.setCount(count + 1);
    }
}

VstIntPtr vstAudioMasterCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt) {
    // No instance yet while the effect is being created, nor for effects made only to list device ids.
    auto* instance = effect ? reinterpret_cast<Vst2PluginInstance*>(effect->resvd1) : nullptr;
    if (instance && instance->isDestroying())
        return 0;
    PluginHost* host = PluginHost::INSTANCE;

    switch (opcode) {
    case audioMasterAutomate:
        if (instance)
            instance->pluginChangedNormalizedValue(index, opt);
        return 0;
    case audioMasterVersion:
        return kVstVersion;
    case audioMasterCurrentId:
        return SHELL_ID;
    case audioMasterGetTime:
        if (instance && instance->getAudioContext() && instance->transport)
            return reinterpret_cast<VstIntPtr>(instance->updateTimeInfo());
        return 0;
    case audioMasterProcessEvents:
        if (!instance)
            return 0;
        instance->copyOutputEvents(static_cast<const VstEvents*>(ptr));
        return 1;
    case audioMasterIOChanged:
        if (instance)
            instance->refreshAllParameters();
        return 1;
    case audioMasterNeedIdle:
        if (instance)
            instance->needsIdle = true;
        return 0;
    case audioMasterSizeWindow:
        if (instance) {
            const int width = index;
            const int height = static_cast<int>(value);
            instance->setWindowSize(width, height);
            if (width >= 10 && height >= 10 && instance->getWindow())
                instance->getWindow()->resize(width, height);
        }
        return 1;
    case audioMasterGetSampleRate:
        return host ? host->getSampleRate() : 0;
    case audioMasterGetBlockSize:
        return host ? host->getBlockSize() : 0;
    case audioMasterGetInputLatency:
        return instance && instance->transport ? instance->transport->inputLatency : 0;
    case audioMasterGetOutputLatency:
        return instance && instance->transport ? instance->transport->outputLatency : 0;
    case audioMasterGetCurrentProcessLevel:
        if (!instance)
            return kVstProcessLevelUnknown;
        if (instance->getHost()->isMainThread())
            return kVstProcessLevelUser;
        return instance->realtime ? kVstProcessLevelRealtime : kVstProcessLevelOffline;
    case audioMasterGetVendorString:
        if (ptr)
            std::strcpy(static_cast<char*>(ptr), "Zelvar");
        return 1;
    case audioMasterGetProductString:
        if (ptr)
            std::strcpy(static_cast<char*>(ptr), "Zelvar Studio");
        return 1;
    case audioMasterGetVendorVersion:
        return 2202;
    case audioMasterCanDo:
        if (ptr) {
            for (const char* capability : HOST_CAPABILITIES) {
                if (std::strcmp(static_cast<const char*>(ptr), capability) == 0)
                    return 1;
            }
        }
        return 0;
    case audioMasterGetLanguage:
        return kVstLangEnglish;
    case audioMasterUpdateDisplay:
        if (instance)
            instance->refreshAllParameters();
        return 1;
    case audioMasterBeginEdit:
        if (instance)
            instance->pluginBeginEditParameter(index);
        return 1;
    case audioMasterEndEdit:
        if (instance)
            instance->pluginEndEditParameter(index);
        return 1;
    default:
        return 0;
    }
}

} // namespace plugin
