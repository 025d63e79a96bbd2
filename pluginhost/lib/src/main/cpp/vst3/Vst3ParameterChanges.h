#pragma once

#include "vst3/Vst3ParamValueQueue.h"

#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <atomic>
#include <cstddef>
#include <vector>

namespace plugin {

// Host side. One block's parameter changes: one queue per parameter id, in the order the ids first came.
// Queues are recycled after each block; the list keeps its capacity, so that after warm-up it allocates
// nothing.
//
// Threads: the audio thread of its instance (reserve() on the main thread before processing starts).
class Vst3ParameterChanges : public Steinberg::Vst::IParameterChanges {
public:
    Vst3ParameterChanges() = default;
    virtual ~Vst3ParameterChanges() { clear(); }
    Vst3ParameterChanges(const Vst3ParameterChanges&) = delete;
    Vst3ParameterChanges& operator=(const Vst3ParameterChanges&) = delete;

    // [main] Room for this many parameters without growing.
    void reserve(size_t parameterCount) { queues.reserve(parameterCount); }
    // [audio] Gives every queue back to the free list, last first, and empties the list.
    void clear();

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** object) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return ++referenceCount; }
    // Embedded in its instance: the count only counts.
    Steinberg::uint32 PLUGIN_API release() override { return --referenceCount; }
    Steinberg::int32 PLUGIN_API getParameterCount() override {
        return static_cast<Steinberg::int32>(queues.size());
    }
    Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData(Steinberg::int32 index) override;
    // The queue of the id, found from the last added, or a new one at the end; null only when no memory.
    Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData(const Steinberg::Vst::ParamID& id,
                                                                  Steinberg::int32& index) override;

private:
    std::atomic<Steinberg::int32> referenceCount{1};
    std::vector<Vst3ParamValueQueue*> queues;
};

} // namespace plugin
