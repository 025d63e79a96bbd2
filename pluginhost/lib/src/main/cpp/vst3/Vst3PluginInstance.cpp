#include "vst3/Vst3PluginInstance.h"

#include "vst3/Vst3QueryInterface.h"

#include "base/core/IOException.h"
#include "base/core/OutputStream.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "plugin/PluginApi.h"
#include "plugin/PluginAudioBus.h"
#include "plugin/PluginException.h"
#include "plugin/PluginHost.h"
#include "vst3/Vst3Debug.h"
#include "vst3/Vst3Plugin.h"

#include "pluginterfaces/vst/ivstprocesscontext.h"
#include "pluginterfaces/vst/vstspeaker.h"
#include "public.sdk/source/common/memorystream.h"
#include "public.sdk/source/vst/vstpresetfile.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

namespace plugin {

using base::core::SmartPtr;
using base::core::String;
using base::core::StringBuilder;
using namespace Steinberg;

namespace {

constexpr const char* SOURCE_NAME = "pluginhost/lib/src/main/cpp/vst3/Vst3PluginInstance";

// Steinberg::KeyModifier (keycodes.h, which the installed SDK subset leaves out).
constexpr int16 SHIFT_KEY = 1 << 0;
constexpr int16 ALTERNATE_KEY = 1 << 1;
constexpr int16 COMMAND_KEY = 1 << 2;
constexpr int16 CONTROL_KEY = 1 << 3;

// The arrangements a bus keeps when the host sets them back; any other becomes stereo.
constexpr Vst::SpeakerArrangement KEPT_ARRANGEMENTS[] = {
    0x0, 0x3, 0xC, 0x30, 0xC0, 0x600, 0x5000, 0x28000, 0x80000, 0x3000000, 0x50000000};

String fromUtf16(const Vst::TChar* text) {
    return String(reinterpret_cast<const char16_t*>(text));
}

// At most `size` bytes, without a terminator when the text fills the buffer.
void copyText(const String& text, char* buffer, unsigned long size) {
    if (size == 0)
        return;
    const std::string utf8 = text.getStdString();
    std::strncpy(buffer, utf8.c_str(), size);
}

template <typename Interface> IPtr<Interface> query(FUnknown* object) {
    if (!object)
        return nullptr;
    return FUnknownPtr<Interface>(object);
}

} // namespace

Vst3PluginInstance::Vst3PluginInstance(PluginHost* host, Vst3Plugin* plugin, int instanceId,
                                       const String& deviceId, bool flag)
    : PluginInstance(host, instanceId, flag), plugin(plugin), vst3Host(this, *host) {
    // A device id that is not a class id string leaves the id all zero, for which no class exists.
    if (!classId.fromString(deviceId.getStdString().c_str()))
        classId = FUID();
}

Vst3PluginInstance::~Vst3PluginInstance() {
    disconnectHalves();
}

// Deactivates and terminates the plug-in and lets its two halves go of each other, so that neither keeps
// the other alive once the host releases them.
void Vst3PluginInstance::disconnectHalves() {
    if (view) {
        view->setFrame(nullptr);
        viewScaling = nullptr;
        view = nullptr;
    }
    if (active && component)
        component->setActive(false);
    active = false;
    if (componentConnection && controllerConnection) {
        componentConnection->disconnect(controllerConnection);
        controllerConnection->disconnect(componentConnection);
    }
    if (controller && !controllerIsComponent) {
        controller->setComponentHandler(nullptr);
        controller->terminate();
    }
    if (component)
        component->terminate();
}

PluginApi* Vst3PluginInstance::getApi() {
    return VST3_PLUGIN_API_INSTANCE;
}

void Vst3PluginInstance::initNativePlugin() {
    component = nullptr;
    IPluginFactory* factory = plugin->getFactory();
    if (!factory)
        return;
    FUnknown* context = vst3Host.getContext();

    void* object = nullptr;
    const tresult created = factory->createInstance(classId.toTUID(), Vst::IComponent::iid, &object);
    if (!object)
        return;
    // The factory hands over one reference of its own.
    IPtr<Vst::IComponent> madeComponent = owned(static_cast<Vst::IComponent*>(object));
    if (created != kResultOk || madeComponent->initialize(context) != kResultOk)
        return;
    component = madeComponent;
    processor = query<Vst::IAudioProcessor>(component);
    unitData = query<Vst::IUnitData>(component);
    programListData = query<Vst::IProgramListData>(component);

    TUID controllerId{};
    if (component->getControllerClassId(controllerId) == kResultOk &&
        FUID::fromTUID(controllerId).isValid()) {
        controller = nullptr;
        controllerIsComponent = false;
        object = nullptr;
        const tresult result = factory->createInstance(controllerId, Vst::IEditController::iid, &object);
        if (object) {
            IPtr<Vst::IEditController> madeController = owned(static_cast<Vst::IEditController*>(object));
            if (result == kResultOk) {
                controller = madeController;
                controller->initialize(context);
            }
        }
    }
    if (!controller) {
        // A single-component plug-in: the component (or its processor face) is also the controller, and is
        // initialized already.
        if (processor)
            controller = query<Vst::IEditController>(processor);
        if (!controller)
            controller = query<Vst::IEditController>(component);
        controllerIsComponent = true;
    }
    if (!controller)
        return;

    controller2 = query<Vst::IEditController2>(controller);
    midiMapping = query<Vst::IMidiMapping>(controller);
    noteExpressionController = query<Vst::INoteExpressionController>(controller);
    unitInfo = query<Vst::IUnitInfo>(controller);
    const int32 count = controller->getParameterCount();
    for (int32 index = 0; index < count; ++index) {
        Vst::ParameterInfo info{};
        if (controller->getParameterInfo(index, info) != kResultOk)
            continue;
        parameterIndices.emplace_back(info.id, index);
        if (info.unitId == Vst::kRootUnitId && (info.flags & Vst::ParameterInfo::kIsProgramChange)) {
            programParameterId = info.id;
            programParameterIndex = index;
            programParameterAutomatable = (info.flags & Vst::ParameterInfo::kCanAutomate) != 0;
        }
    }
    std::sort(parameterIndices.begin(), parameterIndices.end());
    if (unitInfo && unitInfo->getUnitCount() > 0) {
        Vst::UnitInfo unit{};
        if (unitInfo->getUnitInfo(0, unit) == kResultOk && unit.programListId != Vst::kNoProgramListId)
            programListId = unit.programListId;
    }

    controller->setComponentHandler(static_cast<Vst::IComponentHandler*>(&vst3Host));
    IPtr<Vst::IConnectionPoint> fromComponent = query<Vst::IConnectionPoint>(component);
    IPtr<Vst::IConnectionPoint> fromController =
        fromComponent && !controllerIsComponent ? query<Vst::IConnectionPoint>(controller) : nullptr;
    if (fromComponent && fromController) {
        componentConnection = fromComponent;
        controllerConnection = fromController;
        componentConnection->connect(controllerConnection);
        controllerConnection->connect(componentConnection);
    }
    IPtr<MemoryStream> stream = owned(new MemoryStream());
    if (component->getState(stream) == kResultOk) {
        stream->seek(0, IBStream::kIBSeekSet, nullptr);
        controller->setComponentState(stream);
    }
}

void Vst3PluginInstance::open() {
    if (!component || !processor) {
        state = OPEN;
        return;
    }
    Vst::ProcessSetup setup{};
    setup.processMode = Vst::kRealtime;
    setup.symbolicSampleSize = Vst::kSample32;
    setup.maxSamplesPerBlock = getHost()->getBlockSize();
    setup.sampleRate = static_cast<double>(getHost()->getSampleRate());
    Vst3Debug::throwErrorMessageException(processor->setupProcessing(setup),
                                          "\"Vst3PluginInstance::open()#setupProcessing\"", SOURCE_NAME, 653);
    setBusArrangements();
    activateBusesOfType(Vst::kAudio, Vst::kInput);
    activateBusesOfType(Vst::kAudio, Vst::kOutput);
    activateBusesOfType(Vst::kEvent, Vst::kInput);
    activateBusesOfType(Vst::kEvent, Vst::kOutput);
    Vst3Debug::throwErrorMessageException(component->setActive(true), "\"Vst3PluginInstance::open()\"",
                                          SOURCE_NAME, 660);
    active = true;
    prepareProcessData();
    state = OPEN;
}

void Vst3PluginInstance::prepareProcessData() {
    canProcess32 = processor->canProcessSampleSize(Vst::kSample32) == kResultOk;
    noteInput = hasNoteInput();
    noteOutput = hasNoteOutput();
    for (Vst::BusDirection direction : {Vst::kInput, Vst::kOutput}) {
        const int32 count = std::min<int32>(getBusCount(Vst::kAudio, direction), MAX_BUSES);
        busBuffers[direction].assign(static_cast<size_t>(count), Vst::AudioBusBuffers{});
        busFirstChannels[direction].clear();
        busChannelCounts[direction].clear();
        int32_t firstChannel = 0;
        for (int32 index = 0; index < count; ++index) {
            Vst::BusInfo info{};
            Vst3Debug::throwErrorMessageException(component->getBusInfo(Vst::kAudio, direction, index, info),
                                                  "\"Vst3PluginInstance::getBus(...)\"", SOURCE_NAME, 459);
            busFirstChannels[direction].push_back(firstChannel);
            busChannelCounts[direction].push_back(info.channelCount);
            firstChannel += info.channelCount;
        }
        boundChannels[direction] = nullptr;
    }
    boundContext = nullptr;
    // Enough for every parameter and a full event list in a block, so that processing does not grow them.
    const size_t parameters =
        std::min<size_t>(parameterIndices.size() + 1, PluginAudioContext::PARAMETER_CHANGE_CAPACITY);
    inputParameterChanges.reserve(parameters);
    outputParameterChanges.reserve(parameters);
    inputEvents.reserve(PluginAudioContext::EVENT_CAPACITY * 2);
    outputEvents.reserve(PluginAudioContext::EVENT_CAPACITY * 2);

    processData.processMode = Vst::kRealtime;
    processData.symbolicSampleSize = Vst::kSample32;
    processData.numInputs = static_cast<int32>(busBuffers[Vst::kInput].size());
    processData.numOutputs = static_cast<int32>(busBuffers[Vst::kOutput].size());
    processData.inputs = busBuffers[Vst::kInput].empty() ? nullptr : busBuffers[Vst::kInput].data();
    processData.outputs = busBuffers[Vst::kOutput].empty() ? nullptr : busBuffers[Vst::kOutput].data();
    processData.inputParameterChanges = &inputParameterChanges;
    processData.outputParameterChanges = &outputParameterChanges;
    processData.inputEvents = noteInput ? &inputEvents : nullptr;
    processData.outputEvents = noteOutput ? &outputEvents : nullptr;
    processData.processContext = &processContext;
}

void Vst3PluginInstance::setBusArrangements() {
    std::vector<Vst::SpeakerArrangement> arrangements[2];
    for (Vst::BusDirection direction : {Vst::kInput, Vst::kOutput}) {
        std::vector<Vst::SpeakerArrangement>& list = arrangements[direction];
        const int32 count = getBusCount(Vst::kAudio, direction);
        for (int32 index = 0; index < count; ++index) {
            Vst::SpeakerArrangement arrangement = 0;
            processor->getBusArrangement(direction, index, arrangement);
            bool kept = false;
            for (Vst::SpeakerArrangement candidate : KEPT_ARRANGEMENTS)
                kept = kept || candidate == arrangement;
            list.push_back(kept ? arrangement : Vst::SpeakerArr::kStereo);
        }
    }
    // An empty list still passes a valid array.
    const auto count = [](const std::vector<Vst::SpeakerArrangement>& list) {
        return static_cast<int32>(list.size());
    };
    const int32 inputs = count(arrangements[Vst::kInput]);
    const int32 outputs = count(arrangements[Vst::kOutput]);
    for (auto& list : arrangements)
        if (list.empty())
            list.push_back(0);
    processor->setBusArrangements(arrangements[Vst::kInput].data(), inputs, arrangements[Vst::kOutput].data(),
                                  outputs);
}

void Vst3PluginInstance::activateBusesOfType(Vst::MediaType type, Vst::BusDirection direction) {
    for (int32 index = getBusCount(type, direction) - 1; index >= 0; --index)
        Vst3Debug::throwErrorMessageException(component->activateBus(type, direction, index, true),
                                              "\"Vst3PluginInstance::activateBussesOfType(...)\"",
                                              SOURCE_NAME, 702);
}

int32 Vst3PluginInstance::getBusCount(Vst::MediaType type, Vst::BusDirection direction) const {
    return component ? component->getBusCount(type, direction) : 0;
}

bool Vst3PluginInstance::hasAudioInput() const {
    return getBusCount(Vst::kAudio, Vst::kInput) > 0;
}

bool Vst3PluginInstance::hasNoteInput() const {
    return getBusCount(Vst::kEvent, Vst::kInput) > 0;
}

bool Vst3PluginInstance::hasAudioOutput() const {
    return getBusCount(Vst::kAudio, Vst::kOutput) > 0;
}

bool Vst3PluginInstance::hasNoteOutput() const {
    return getBusCount(Vst::kEvent, Vst::kOutput) > 0;
}

void Vst3PluginInstance::listBuses(Vst::BusDirection direction,
                                   std::vector<SmartPtr<PluginAudioBus>>& buses) {
    int firstChannel = 0;
    const int32 count = getBusCount(Vst::kAudio, direction);
    for (int32 index = 0; index < count; ++index) {
        Vst::BusInfo info{};
        Vst3Debug::throwErrorMessageException(component->getBusInfo(Vst::kAudio, direction, index, info),
                                              "\"Vst3PluginInstance::getBus(...)\"", SOURCE_NAME, 459);
        buses.push_back(new PluginAudioBus(fromUtf16(info.name), firstChannel, info.channelCount));
        firstChannel += info.channelCount;
    }
}

void Vst3PluginInstance::listAudioInputBuses(std::vector<SmartPtr<PluginAudioBus>>& buses) {
    listBuses(Vst::kInput, buses);
}

void Vst3PluginInstance::listAudioOutputBuses(std::vector<SmartPtr<PluginAudioBus>>& buses) {
    listBuses(Vst::kOutput, buses);
}

int Vst3PluginInstance::getTotalChannelCount(Vst::BusDirection direction) const {
    int total = 0;
    for (int32 index = getBusCount(Vst::kAudio, direction) - 1; index >= 0; --index) {
        Vst::BusInfo info{};
        if (component->getBusInfo(Vst::kAudio, direction, index, info) == kResultOk)
            total += info.channelCount;
    }
    return total;
}

int Vst3PluginInstance::getTotalAudioInChannelCount() {
    return getTotalChannelCount(Vst::kInput);
}

int Vst3PluginInstance::getTotalAudioOutChannelCount() {
    return getTotalChannelCount(Vst::kOutput);
}

std::vector<PluginInstance::PluginClass> Vst3PluginInstance::getSupportPluginClasses() {
    const String classIdString = getProductIdentifier();
    std::vector<String> parts;
    String(plugin->getClassInfo2(classIdString).subCategories).separate(parts, '|');
    const String first = parts.empty() ? String() : parts.front();
    if (first.compareToIgnoreCase("instrument") == 0)
        return {NOTE_TO_AUDIO};
    if (first.compareToIgnoreCase("fx") == 0)
        return {AUDIO_TO_AUDIO};

    int mainBuses[2][2] = {}; // [media type][direction]
    for (Vst::MediaType type : {Vst::kAudio, Vst::kEvent}) {
        for (Vst::BusDirection direction : {Vst::kInput, Vst::kOutput}) {
            const int32 count = getBusCount(type, direction);
            for (int32 index = 0; index < count; ++index) {
                Vst::BusInfo info{};
                if (component->getBusInfo(type, direction, index, info) == kResultOk &&
                    info.busType == Vst::kMain)
                    ++mainBuses[type][direction];
            }
        }
    }
    const int audioIn = mainBuses[Vst::kAudio][Vst::kInput];
    const int audioOut = mainBuses[Vst::kAudio][Vst::kOutput];
    const int eventIn = mainBuses[Vst::kEvent][Vst::kInput];
    const int eventOut = mainBuses[Vst::kEvent][Vst::kOutput];
    if (eventIn > 0 && audioOut > 0)
        return {NOTE_TO_AUDIO};
    if (audioIn > 0 && audioOut > 0)
        return {AUDIO_TO_AUDIO};
    if (eventIn > 0 && eventOut > 0)
        return {NOTE_TO_NOTE};
    if (audioIn > 0 && eventOut > 0)
        return {AUDIO_TO_NOTE};
    return {AUDIO_TO_AUDIO};
}

String Vst3PluginInstance::getProductName() {
    return String(plugin->getClassInfo(getProductIdentifier()).name);
}

String Vst3PluginInstance::getProductVendorName() {
    PFactoryInfo info{};
    if (IPluginFactory* factory = plugin->getFactory())
        factory->getFactoryInfo(&info);
    return String(info.vendor);
}

String Vst3PluginInstance::getProductIdentifier() {
    return Vst3Plugin::toClassIdString(classId.toTUID());
}

String Vst3PluginInstance::getCategory() {
    const String subCategories(plugin->getClassInfo2(getProductIdentifier()).subCategories);
    std::vector<String> parts;
    subCategories.separate(parts, '|');
    if (parts.size() >= 2) {
        StringBuilder joined;
        for (size_t i = 1; i < parts.size(); ++i) {
            if (i > 1)
                joined + " / ";
            joined + parts[i];
        }
        const String category = joined;
        if (category.length() > 0)
            return category;
    }
    return subCategories;
}

String Vst3PluginInstance::getProductVersion() {
    return String(plugin->getClassInfo2(getProductIdentifier()).version);
}

int Vst3PluginInstance::getPluginLatency() {
    return processor ? static_cast<int>(processor->getLatencySamples()) : 0;
}

bool Vst3PluginInstance::isNoteExpressionSupported(int32 bus, int32 channel,
                                                   Vst::NoteExpressionTypeID typeId) const {
    if (!noteExpressionController)
        return false;
    const auto channel16 = static_cast<int16>(channel);
    const int32 count = noteExpressionController->getNoteExpressionCount(bus, channel16);
    for (int32 index = 0; index < count; ++index) {
        Vst::NoteExpressionTypeInfo info{};
        if (noteExpressionController->getNoteExpressionInfo(bus, channel16, index, info) == kResultOk &&
            info.typeId == typeId)
            return true;
    }
    return false;
}

bool Vst3PluginInstance::supportsVST3NoteExpressions() const {
    for (Vst::NoteExpressionTypeID type :
         {Vst::kVolumeTypeID, Vst::kPanTypeID, Vst::kTuningTypeID, Vst::kBrightnessTypeID}) {
        if (isNoteExpressionSupported(0, 0, type))
            return true;
    }
    return false;
}

void Vst3PluginInstance::destroy() {
    destroying = true;
    if (state == PROCESSING)
        stopProcess();
    closeGUI();
    state = DESTROYED;
}

void Vst3PluginInstance::startProcess() {
    if (processor)
        processor->setProcessing(true);
    state = PROCESSING;
}

void Vst3PluginInstance::stopProcess() {
    if (processor)
        processor->setProcessing(false);
    state = OPEN;
}

void Vst3PluginInstance::bindBuses() {
    PluginAudioContext* context = getAudioContext();
    float** channels[2] = {inputChannels, outputChannels};
    const int available[2] = {inputChannelCount, outputChannelCount};
    if (context == boundContext && channels[0] == boundChannels[0] && channels[1] == boundChannels[1])
        return;
    for (int direction : {Vst::kInput, Vst::kOutput}) {
        for (size_t bus = 0; bus < busBuffers[direction].size(); ++bus) {
            const int32_t first = busFirstChannels[direction][bus];
            // A block with fewer channels than the buses declare gives the last buses fewer, never a
            // pointer past the block.
            const int32_t count =
                std::clamp(available[direction] - first, 0, busChannelCounts[direction][bus]);
            busBuffers[direction][bus].numChannels = count;
            busBuffers[direction][bus].channelBuffers32 = count > 0 ? channels[direction] + first : nullptr;
        }
        boundChannels[direction] = channels[direction];
    }
    boundContext = context;
}

int Vst3PluginInstance::process(unsigned int frames, bool inputHasSignal, bool realtime) {
    PluginAudioContext* context = getAudioContext();
    if (state != PROCESSING || !processor || !canProcess32 || !context)
        return processResult(frames, inputHasSignal);

    // A program chosen on the main thread since the last block.
    const uint64_t pending = pendingProgramChange.exchange(0);
    if (pending != 0)
        addInputParameterPoint(programParameterId, static_cast<int>((pending >> 32) & 0xFFFF),
                               std::bit_cast<float>(static_cast<uint32_t>(pending)));
    auto& changes = context->getParameterChanges();
    for (uint32_t i = 0, count = std::min(changes.count(), changes.capacity); i < count; ++i) {
        const PluginParameterChange change = changes[i];
        Vst::ParameterInfo info{};
        if (controller && controller->getParameterInfo(change.index, info) == kResultOk)
            addInputParameterPoint(info.id, change.sampleOffset, change.value);
        // The controller follows the automation too.
        setParameterNormalizedValue(change.index, change.value);
    }

    bindBuses();
    processData.processMode = realtime ? Vst::kRealtime : Vst::kOffline;
    processData.numSamples = static_cast<int32>(frames);
    const bool silentInput = !inputHasSignal;
    for (Vst::AudioBusBuffers& bus : busBuffers[Vst::kInput])
        bus.silenceFlags =
            silentInput && bus.numChannels > 0 ? (uint64{1} << std::min(bus.numChannels, 63)) - 1 : 0;
    for (Vst::AudioBusBuffers& bus : busBuffers[Vst::kOutput])
        bus.silenceFlags = 0;
    if (noteInput) {
        auto& records = context->getInputEvents();
        for (uint32_t i = 0, count = std::min(records.count(), records.capacity); i < count; ++i)
            inputEvents.addHostEvent(*this, records[i]);
    }
    fillProcessContext();

    // The plug-in's own verdict on the block changes nothing for the host.
    processor->process(processData);

    if (noteOutput)
        copyOutputEvents(*context);
    reportOutputParameterChanges();
    inputParameterChanges.clear();
    outputParameterChanges.clear();
    inputEvents.clear();
    outputEvents.clear();
    return processResult(frames, inputHasSignal);
}

void Vst3PluginInstance::fillProcessContext() {
    processContext = Vst::ProcessContext{};
    processContext.sampleRate = static_cast<double>(getHost()->getSampleRate());
    uint32 flags = Vst::ProcessContext::kTempoValid | Vst::ProcessContext::kTimeSigValid |
                   Vst::ProcessContext::kProjectTimeMusicValid;
    if (!transport) {
        processContext.tempo = 110.0;
        processContext.state = flags & ~Vst::ProcessContext::kTempoValid;
        return;
    }
    const PluginTransportInfo& source = *transport;
    if (source.flags & PluginTransportInfo::PLAYING)
        flags |= Vst::ProcessContext::kPlaying;
    if (source.flags & PluginTransportInfo::RECORDING)
        flags |= Vst::ProcessContext::kRecording;
    if (source.flags & PluginTransportInfo::LOOP_ACTIVE) {
        flags |= Vst::ProcessContext::kCycleActive | Vst::ProcessContext::kCycleValid;
        processContext.cycleStartMusic = source.loopStartInQuarterNotes;
        processContext.cycleEndMusic = source.loopEndInQuarterNotes;
    }
    processContext.projectTimeSamples = static_cast<int64>(source.positionInSamples);
    // Not announced as valid: the client's clock is not the plug-in's.
    processContext.systemTime = static_cast<int64>(source.systemTime);
    processContext.projectTimeMusic = source.positionInQuarterNotes;
    processContext.tempo = source.tempo;
    if (source.tempo < 1.0) {
        processContext.tempo = 110.0;
        flags &= ~Vst::ProcessContext::kTempoValid;
    }
    processContext.timeSigNumerator = source.timeSignatureNumerator;
    processContext.timeSigDenominator = source.timeSignatureDenominator;
    processContext.state = flags;
}

void Vst3PluginInstance::copyOutputEvents(PluginAudioContext& context) {
    PluginAudioContextList<PluginHostEvent>& output = context.getOutputEvents();
    const int32 lastOffset = std::max(0, getHost()->getBlockSize() - 1);
    const int32 count = outputEvents.getEventCount();
    for (int32 i = 0; i < count; ++i) {
        Vst::Event event{};
        outputEvents.getEvent(i, event);
        uint8_t status = 0;
        int16 pitch = 0;
        float amount = 0;
        switch (event.type) {
        case Vst::Event::kNoteOnEvent:
            status = 0x90, pitch = event.noteOn.pitch, amount = event.noteOn.velocity;
            break;
        case Vst::Event::kNoteOffEvent:
            status = 0x80, pitch = event.noteOff.pitch, amount = event.noteOff.velocity;
            break;
        case Vst::Event::kPolyPressureEvent:
            status = 0xA0, pitch = event.polyPressure.pitch, amount = event.polyPressure.pressure;
            break;
        default:
            continue;
        }
        const uint32_t written = output.count();
        if (written >= output.capacity)
            return; // the rest of the block's events are dropped
        PluginHostEvent& record = output[written];
        record.kind = PluginHostEvent::MIDI;
        record.sampleOffset = static_cast<uint16_t>(std::clamp(event.sampleOffset, 0, lastOffset));
        record.musicalPosition = event.ppqPosition;
        record.midi[0] = status;
        record.midi[1] = static_cast<uint8_t>(pitch);
        record.midi[2] = static_cast<uint8_t>(amount * 127);
        record.midi[3] = 0;
        output.setCount(written + 1);
    }
}

void Vst3PluginInstance::reportOutputParameterChanges() {
    const int32 count = outputParameterChanges.getParameterCount();
    for (int32 i = 0; i < count; ++i) {
        Vst::IParamValueQueue* queue = outputParameterChanges.getParameterData(i);
        const int32 points = queue->getPointCount();
        int32 offset = 0;
        Vst::ParamValue value = 0;
        if (points <= 0 || queue->getPoint(points - 1, offset, value) != kResultOk)
            continue;
        const Vst::ParamID id = queue->getParameterId();
        auto found = std::lower_bound(parameterIndices.begin(), parameterIndices.end(), id,
                                      [](const auto& entry, Vst::ParamID key) { return entry.first < key; });
        if (found != parameterIndices.end() && found->first == id)
            pluginChangedNormalizedValue(found->second, static_cast<float>(value));
    }
}

int Vst3PluginInstance::processResult(unsigned int frames, bool inputHasSignal) {
    if (inputHasSignal) {
        silentSamples = 0;
        return 1;
    }
    silentSamples += static_cast<int32_t>(frames);
    if (getWindow())
        return 1;
    const auto tail = static_cast<int32_t>(processor ? processor->getTailSamples() : 0);
    if (tail < 0)
        return 2; // kInfiniteTail
    if (tail == 0)
        return 0;
    return silentSamples <= getPluginLatency() + tail ? 2 : 0;
}

void Vst3PluginInstance::addInputParameterPoint(Vst::ParamID id, int sampleOffset, double value) {
    int32 index = 0;
    if (Vst::IParamValueQueue* queue = inputParameterChanges.addParameterData(id, index))
        queue->addPoint(sampleOffset, value, index);
}

double Vst3PluginInstance::programValue(int program) const {
    if (program < 0 || !controller || programListId == Vst::kNoProgramListId)
        return -1;
    Vst::ParameterInfo info;
    if (!readParameterInfo(programParameterIndex, info) || program >= info.stepCount)
        return -1;
    return controller->plainParamToNormalized(programParameterId, program);
}

void Vst3PluginInstance::changeProgramInBlock(int program, int sampleOffset) {
    const double value = programValue(program);
    if (value >= 0 && programParameterAutomatable)
        addInputParameterPoint(programParameterId, sampleOffset, value);
}

// A single-component plug-in has one state: its controller face adds no chunk of its own.
Vst::IEditController* Vst3PluginInstance::separateController() const {
    return controllerIsComponent ? nullptr : controller.get();
}

void Vst3PluginInstance::savePreset(const String& path) {
    IPtr<IBStream> file = owned(Vst::FileStream::open(path.getStdString().c_str(), "wb"));
    if (!file)
        throw base::core::IOException(StringBuilder() + "Error opening VST3 preset for writing: " + path);
    const bool saved =
        component && Vst::PresetFile::savePreset(file, classId, component, separateController());
    // Releasing the stream closes the file; what was written stays.
    file = nullptr;
    if (!saved)
        throw base::core::IOException(StringBuilder() + "Error saving VST3 preset: " + path);
}

void Vst3PluginInstance::loadPreset(const String& path) {
    IPtr<IBStream> file = owned(Vst::FileStream::open(path.getStdString().c_str(), "rb"));
    if (!file)
        throw base::core::IOException(StringBuilder() + "Error opening VST3 preset for reading: " + path);
    // A file of another class, or no preset at all, leaves the plug-in as it is.
    if (component)
        Vst::PresetFile::loadPreset(file, classId, component, separateController());
}

bool Vst3PluginInstance::readParameterInfo(int index, Vst::ParameterInfo& info) const {
    info = Vst::ParameterInfo{};
    return controller && controller->getParameterInfo(index, info) == kResultOk;
}

int Vst3PluginInstance::getParameterCount() const {
    return controller ? controller->getParameterCount() : 0;
}

int Vst3PluginInstance::getProgramCount() {
    if (programListId == Vst::kNoProgramListId)
        return 0;
    Vst::ParameterInfo info;
    return readParameterInfo(programParameterIndex, info) ? info.stepCount : 0;
}

void Vst3PluginInstance::getProgramName(int index, char* buffer, unsigned long size) {
    if (size > 0)
        buffer[0] = 0;
    if (programListId == Vst::kNoProgramListId || !unitInfo)
        return;
    Vst::String128 name{};
    if (unitInfo->getProgramName(programListId, index, name) == kResultOk)
        copyText(fromUtf16(name), buffer, size);
}

void Vst3PluginInstance::setCurrentProgram(int program, int sampleOffset) {
    if (program >= getProgramCount() || program < 0 || !controller)
        return;
    const Vst::ParamValue value = controller->plainParamToNormalized(programParameterId, program);
    controller->setParamNormalized(programParameterId, value);
    // The processor hears of it in the next block; a program chosen twice before then counts once.
    if (programParameterAutomatable)
        pendingProgramChange.store(uint64_t{1} << 63 |
                                   static_cast<uint64_t>(std::clamp(sampleOffset, 0, 0xFFFF)) << 32 |
                                   std::bit_cast<uint32_t>(static_cast<float>(value)));
}

void Vst3PluginInstance::getParameterName(int index, char* buffer, unsigned long size) {
    Vst::ParameterInfo info;
    if (readParameterInfo(index, info))
        copyText(fromUtf16(info.title), buffer, size);
}

void Vst3PluginInstance::getParameterUnit(int index, char* buffer, unsigned long size) {
    Vst::ParameterInfo info;
    if (readParameterInfo(index, info))
        copyText(fromUtf16(info.units), buffer, size);
}

void Vst3PluginInstance::getParameterDisplay(int index, char* buffer, unsigned long size) {
    Vst::ParameterInfo info;
    if (!readParameterInfo(index, info))
        return;
    Vst::String128 text{};
    if (controller->getParamStringByValue(info.id, controller->getParamNormalized(info.id), text) ==
        kResultOk)
        copyText(fromUtf16(text), buffer, size);
}

void Vst3PluginInstance::getParameterInfo(int index, PluginParameterInfo& result) {
    Vst::ParameterInfo info;
    if (!readParameterInfo(index, info))
        return;
    result.automatable = (info.flags & Vst::ParameterInfo::kCanAutomate) != 0;
    result.index = index;
    result.isInteger = info.stepCount > 1;
    result.isBoolean = info.stepCount == 1;
    result.minValue = 0;
    result.maxValue = info.stepCount;
    result.shortName = fromUtf16(info.shortTitle);
}

float Vst3PluginInstance::getParameterNormalizedValue(int index) {
    Vst::ParameterInfo info;
    return readParameterInfo(index, info) ? static_cast<float>(controller->getParamNormalized(info.id))
                                          : 0.0f;
}

void Vst3PluginInstance::setParameterNormalizedValue(int index, float value) {
    // The plug-in's own edit of this parameter wins over the client's.
    if (index == editedParameter.load())
        return;
    PluginInstance::setParameterNormalizedValue(index, value);
    Vst::ParameterInfo info;
    if (readParameterInfo(index, info))
        controller->setParamNormalized(info.id, value);
}

void Vst3PluginInstance::pluginBeginEditParameter(int index) {
    PluginInstance::pluginBeginEditParameter(index);
    int32_t none = -1;
    editedParameter.compare_exchange_strong(none, index);
}

void Vst3PluginInstance::pluginEndEditParameter(int index) {
    PluginInstance::pluginEndEditParameter(index);
    int32_t edited = index;
    editedParameter.compare_exchange_strong(edited, -1);
}

IPlugView* Vst3PluginInstance::ensureView() const {
    if (view || !controller)
        return view;
    IPtr<IPlugView> made = owned(controller->createView(Vst::ViewType::kEditor));
    if (!made)
        made = owned(controller->createView(nullptr));
    if (!made)
        made = query<IPlugView>(controller);
    if (!made)
        made = query<IPlugView>(component);
    if (!made)
        return nullptr;
    view = made;
    view->setFrame(&const_cast<Vst3PluginInstance*>(this)->frame);
    viewScaling = query<Presonus::IPlugInViewScaling>(view);
    return view;
}

bool Vst3PluginInstance::hasGUI() const {
    return controller && ensureView() != nullptr;
}

bool Vst3PluginInstance::supportsDPIScaling() const {
    ensureView();
    return viewScaling != nullptr;
}

bool Vst3PluginInstance::canResizeGUI() const {
    return view && view->canResize() == kResultOk;
}

void Vst3PluginInstance::checkGUISizeConstraints(int& width, int& height) const {
    if (!view)
        return;
    ViewRect rect(0, 0, width, height);
    if (view->checkSizeConstraint(&rect) == kResultOk) {
        width = rect.right;
        height = rect.bottom;
    }
}

void Vst3PluginInstance::validateViewSize(PluginSize* size) {
    if (!view || !size)
        return;
    ViewRect rect(0, 0, size->width, size->height);
    const tresult constrained = view->checkSizeConstraint(&rect);
    const tresult resizable = view->canResize();
    if (constrained != kResultOk || resizable == kResultFalse)
        view->getSize(&rect);
    size->width = rect.right - rect.left;
    size->height = rect.bottom - rect.top;
}

void Vst3PluginInstance::openGUI(void* parent, bool activate, const String& title) {
    if (!ensureView() || getWindow())
        return;
    // onSize and the window's move reports stay silent while the editor is being built.
    const SuppressedWindowNotifications suppressed(this);
    ViewRect rect;
    if (!isWindowSizeKnown()) {
        if (view->getSize(&rect) == kResultOk)
            setWindowSize(rect.getWidth(), rect.getHeight());
    } else {
        onSize(0, 0, getWindowWidth(), getWindowHeight());
    }
    std::unique_ptr<PluginWindow> created = getHost()->createPluginWindow(
        this, reinterpret_cast<intptr_t>(parent), getWindowWidth(), getWindowHeight(), canResizeGUI());
    if (!created)
        return; // the factory said why
    PluginWindow* window = created.get();
    setWindow(std::move(created));
    // The view embeds into the window's client area, given as the X11 window id.
    if (view->attached(window->getPluginViewContainer(), kPlatformTypeX11EmbedWindowID) != kResultOk ||
        !window->afterPluginWindowAttached()) {
        base::core::getError()->writeLine("The editor window could not take the plug-in's editor view");
        deleteWindow();
        return;
    }
    window->setTitle(title);
    if (view->getSize(&rect) == kResultOk)
        setWindowSize(rect.getWidth(), rect.getHeight());
    showEditorWindow(activate);
}

void Vst3PluginInstance::closeGUI() {
    if (view) {
        if (getWindow())
            view->removed();
        view->setFrame(nullptr);
        viewScaling = nullptr;
        view = nullptr;
    }
    deleteWindow();
    setHidden(false);
}

void Vst3PluginInstance::windowWasClosedFromGui() {
    // The view leaves the window before it goes, as on closeGUI: a view still attached cannot be opened
    // again.
    closeGUI();
}

tresult Vst3PluginInstance::resizeView(IPlugView*, ViewRect* newSize) {
    if (newSize && newSize->getWidth() > 10 && newSize->getHeight() > 10 && getWindow())
        getWindow()->resize(newSize->getWidth(), newSize->getHeight());
    return kResultOk;
}

tresult PLUGIN_API Vst3PluginInstance::Frame::queryInterface(const TUID iid, void** object) {
    if (FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid))
        return owner.vst3Host.getRunLoop()->queryInterface(iid, object);
    return queryOneInterface<IPlugFrame>(this, iid, object);
}

int16 Vst3PluginInstance::translateModifiers(int hostModifiers) {
    int16 modifiers = 0;
    if (hostModifiers & (1 << 0))
        modifiers |= SHIFT_KEY;
    if (hostModifiers & (1 << 2))
        modifiers |= COMMAND_KEY;
    if (hostModifiers & (1 << 3))
        modifiers |= ALTERNATE_KEY;
    if (hostModifiers & (1 << 1))
        modifiers |= CONTROL_KEY;
    return modifiers;
}

void Vst3PluginInstance::onScrollWheel(float distance) {
    if (view)
        view->onWheel(distance);
}

void Vst3PluginInstance::onKeyDown(base::core::Char character, short virtualKey, short modifiers) {
    if (view)
        view->onKeyDown(static_cast<char16>(character), virtualKey, translateModifiers(modifiers));
}

void Vst3PluginInstance::onKeyUp(base::core::Char character, short virtualKey, short modifiers) {
    if (view)
        view->onKeyUp(static_cast<char16>(character), virtualKey, translateModifiers(modifiers));
}

void Vst3PluginInstance::onSize(int x, int y, int width, int height) {
    if (view) {
        ViewRect rect(0, 0, width, height);
        view->onSize(&rect);
    }
    PluginInstance::onSize(x, y, width, height);
}

void Vst3PluginInstance::onFocus(bool focused) {
    if (view)
        view->onFocus(focused);
}

} // namespace plugin
