#pragma once

#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <atomic>
#include <cstdint>

namespace plugin {

// Host side. The automation points of one parameter within one block, in the order they were added (not
// sorted by offset), at most 128 of them in one fixed block. Blocks come from and go back to a process-wide
// lock-free free list, so that after warm-up a block of audio takes no memory for its queues.
//
// Threads: the audio thread of the instance that holds it; take() and recycle() from any audio thread.
class Vst3ParamValueQueue : public Steinberg::Vst::IParamValueQueue {
public:
    static constexpr Steinberg::int32 CAPACITY = 128;

    // [audio] A queue for the parameter, from the free list or, while that is empty, from malloc.
    static Vst3ParamValueQueue* take(Steinberg::Vst::ParamID id);
    // [audio] Destroys the queue and puts its block on the free list.
    static void recycle(Vst3ParamValueQueue* queue);

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** object) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return ++referenceCount; }
    // The queue's life is its parameter-change list's; the count only counts.
    Steinberg::uint32 PLUGIN_API release() override { return --referenceCount; }
    Steinberg::Vst::ParamID PLUGIN_API getParameterId() override { return id; }
    Steinberg::int32 PLUGIN_API getPointCount() override { return count; }
    Steinberg::tresult PLUGIN_API getPoint(Steinberg::int32 index, Steinberg::int32& sampleOffset,
                                           Steinberg::Vst::ParamValue& value) override;
    // Refuses a point beyond the 128th with kOutOfMemory.
    Steinberg::tresult PLUGIN_API addPoint(Steinberg::int32 sampleOffset, Steinberg::Vst::ParamValue value,
                                           Steinberg::int32& index) override;

private:
    explicit Vst3ParamValueQueue(Steinberg::Vst::ParamID id) : id(id) {}
    virtual ~Vst3ParamValueQueue() = default;

    struct Point {
        Steinberg::int32 sampleOffset;
        Steinberg::Vst::ParamValue value;
    };

    std::atomic<Steinberg::int32> referenceCount{1};
    Steinberg::Vst::ParamID id;
    Steinberg::int32 count = 0;
    Point points[CAPACITY];
};

} // namespace plugin
