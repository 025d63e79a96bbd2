#include "vst3/Vst3EventList.h"

#include "vst3/Vst3QueryInterface.h"

#include "vst3/Vst3PluginInstance.h"

#include "pluginterfaces/vst/ivstmidicontrollers.h"
#include "pluginterfaces/vst/ivstnoteexpression.h"

#include <algorithm>

namespace plugin {

using namespace Steinberg;

namespace {

constexpr double BY_127 = 1.0 / 127.0;
constexpr float BY_16383 = 6.103888e-05f;

// The plug-in's volume expression maps 1.0 to its default, below and above linearly to its range; without
// one, a cubic curve stands in.
Vst::NoteExpressionValue volumeValue(Vst3PluginInstance& instance, float value) {
    if (Vst::INoteExpressionController* expressions = instance.getNoteExpressionController()) {
        const int32 count = expressions->getNoteExpressionCount(0, 0);
        for (int32 index = 0; index < count; ++index) {
            Vst::NoteExpressionTypeInfo info{};
            if (expressions->getNoteExpressionInfo(0, 0, index, info) != kResultOk ||
                info.typeId != Vst::kVolumeTypeID)
                continue;
            const Vst::NoteExpressionValueDescription& range = info.valueDesc;
            if (value == 1.0f)
                return range.defaultValue;
            if (value < 1.0f)
                return range.minimum + value * (range.defaultValue - range.minimum);
            return range.defaultValue + (value - 1.0f) * (range.maximum - range.defaultValue);
        }
    }
    return std::min(1.0, 0.25 * value * value * value);
}

} // namespace

tresult PLUGIN_API Vst3EventList::queryInterface(const TUID iid, void** object) {
    return queryOneInterface<Vst::IEventList>(this, iid, object);
}

tresult PLUGIN_API Vst3EventList::getEvent(int32 index, Vst::Event& event) {
    if (index < 0 || index >= static_cast<int32>(events.size()))
        return kResultFalse;
    event = events[static_cast<size_t>(index)];
    return kResultOk;
}

tresult PLUGIN_API Vst3EventList::addEvent(Vst::Event& event) {
    events.push_back(event);
    return kResultOk;
}

void Vst3EventList::addHostEvent(Vst3PluginInstance& instance, PluginHostEvent& hostEvent) {
    Vst::Event event{};
    event.busIndex = 0;
    event.sampleOffset = hostEvent.sampleOffset;
    event.ppqPosition = hostEvent.musicalPosition;
    event.flags = 0;
    switch (hostEvent.kind) {
    case PluginHostEvent::MIDI:
        addMidiMessage(instance, hostEvent, event);
        break;
    case PluginHostEvent::SYSEX:
        event.type = Vst::Event::kDataEvent;
        event.data.type = Vst::DataEvent::kMidiSysEx;
        // By address: the bytes stay in the shared record for the whole block.
        event.data.bytes = hostEvent.sysex.bytes;
        event.data.size = hostEvent.sysexSize;
        events.push_back(event);
        break;
    case PluginHostEvent::NOTE_EXPRESSION:
        addNoteExpression(instance, hostEvent, event);
        break;
    default:
        break;
    }
}

void Vst3EventList::addMidiMessage(Vst3PluginInstance& instance, const PluginHostEvent& hostEvent,
                                   Vst::Event& event) {
    const uint8_t status = hostEvent.midi[0];
    const int16 channel = status & 0x0F;
    const uint8_t data1 = hostEvent.midi[1];
    const uint8_t data2 = hostEvent.midi[2];
    const int32 noteId = channel * 256 + data1;
    // Controllers, channel pressure and pitch bend become points of the parameter the plug-in maps them to.
    const auto mapped = [&](Vst::CtrlNumber controller, float value) {
        Vst::IMidiMapping* mapping = instance.getMidiMapping();
        Vst::ParamID id = 0;
        if (mapping && mapping->getMidiControllerAssignment(0, channel, controller, id) == kResultOk)
            instance.addInputParameterPoint(id, hostEvent.sampleOffset, value);
    };
    switch (status & 0xF0) {
    case 0x80:
        event.type = Vst::Event::kNoteOffEvent;
        event.noteOff = {channel, data1, static_cast<float>(data2 * BY_127), noteId, 0.0f};
        events.push_back(event);
        break;
    case 0x90:
        // Velocity 0 stays a note-on: the plug-in decides what it means.
        event.type = Vst::Event::kNoteOnEvent;
        event.noteOn = {channel, data1, 0.0f, static_cast<float>(data2 * BY_127), -1, noteId};
        events.push_back(event);
        break;
    case 0xA0:
        event.type = Vst::Event::kPolyPressureEvent;
        event.polyPressure = {channel, data1, static_cast<float>(data2 * BY_127), noteId};
        events.push_back(event);
        break;
    case 0xB0:
        mapped(data1 & 0x7F, static_cast<float>((data2 & 0x7F) * BY_127));
        break;
    case 0xC0:
        instance.changeProgramInBlock(data1 & 0x7F, hostEvent.sampleOffset);
        break;
    case 0xD0:
        mapped(Vst::kAfterTouch, static_cast<float>((data1 & 0x7F) * BY_127));
        break;
    case 0xE0:
        mapped(Vst::kPitchBend, static_cast<float>(((data2 & 0x7F) * 128 + (data1 & 0x7F)) * BY_16383));
        break;
    default: // system messages and running-status bytes
        break;
    }
}

void Vst3EventList::addNoteExpression(Vst3PluginInstance& instance, const PluginHostEvent& hostEvent,
                                      Vst::Event& event) {
    const auto& expression = hostEvent.noteExpression;
    const int32 noteId = expression.channel * 256 + expression.key;
    const float value = expression.value;
    event.type = Vst::Event::kNoteExpressionValueEvent;
    event.noteExpressionValue.noteId = noteId;
    switch (expression.expressionKind) {
    case 0:
        event.noteExpressionValue.typeId = Vst::kVolumeTypeID;
        event.noteExpressionValue.value = static_cast<float>(volumeValue(instance, value));
        break;
    case 1:
        event.noteExpressionValue.typeId = Vst::kPanTypeID;
        event.noteExpressionValue.value = value * 0.5f + 0.5f;
        break;
    case 2: // semitones over a range of ±120
        event.noteExpressionValue.typeId = Vst::kTuningTypeID;
        event.noteExpressionValue.value = value * 0.004166667f + 0.5f;
        break;
    case 3:
        event.noteExpressionValue.typeId = Vst::kBrightnessTypeID;
        event.noteExpressionValue.value = value;
        break;
    case 4:
        event.type = Vst::Event::kPolyPressureEvent;
        event.polyPressure = {static_cast<int16>(expression.channel), static_cast<int16>(expression.key),
                              value, noteId};
        break;
    default:
        return;
    }
    events.push_back(event);
}

} // namespace plugin
