#pragma once

#include "plugin/PluginHostEvent.h"

#include "pluginterfaces/vst/ivstevents.h"

#include <atomic>
#include <cstddef>
#include <vector>

namespace plugin {

class Vst3PluginInstance;

// Host side. The events of one block, in either direction, copied by value. The list keeps its capacity
// between blocks, so that after warm-up it allocates nothing.
//
// Threads: the audio thread of its instance (reserve() on the main thread before processing starts).
class Vst3EventList : public Steinberg::Vst::IEventList {
public:
    Vst3EventList() = default;
    virtual ~Vst3EventList() = default;
    Vst3EventList(const Vst3EventList&) = delete;
    Vst3EventList& operator=(const Vst3EventList&) = delete;

    // [main]
    void reserve(size_t capacity) { events.reserve(capacity); }
    // [audio]
    void clear() { events.clear(); }
    // [audio] Turns one client event into a VST 3 event, or into a parameter point (controllers, pitch bend
    // and channel pressure through the plug-in's MIDI mapping) or a program change, or drops it.
    void addHostEvent(Vst3PluginInstance& instance, PluginHostEvent& hostEvent);

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** object) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return ++referenceCount; }
    // Embedded in its instance: the count only counts.
    Steinberg::uint32 PLUGIN_API release() override { return --referenceCount; }
    Steinberg::int32 PLUGIN_API getEventCount() override {
        return static_cast<Steinberg::int32>(events.size());
    }
    Steinberg::tresult PLUGIN_API getEvent(Steinberg::int32 index, Steinberg::Vst::Event& event) override;
    Steinberg::tresult PLUGIN_API addEvent(Steinberg::Vst::Event& event) override;

private:
    void addMidiMessage(Vst3PluginInstance& instance, const PluginHostEvent& hostEvent,
                        Steinberg::Vst::Event& event);
    void addNoteExpression(Vst3PluginInstance& instance, const PluginHostEvent& hostEvent,
                           Steinberg::Vst::Event& event);

    std::atomic<Steinberg::int32> referenceCount{1};
    std::vector<Steinberg::Vst::Event> events;
};

} // namespace plugin
