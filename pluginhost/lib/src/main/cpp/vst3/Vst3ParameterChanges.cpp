#include "vst3/Vst3ParameterChanges.h"

#include "vst3/Vst3QueryInterface.h"

namespace plugin {

using namespace Steinberg;

void Vst3ParameterChanges::clear() {
    for (auto queue = queues.rbegin(); queue != queues.rend(); ++queue)
        Vst3ParamValueQueue::recycle(*queue);
    queues.clear();
}

tresult PLUGIN_API Vst3ParameterChanges::queryInterface(const TUID iid, void** object) {
    return queryOneInterface<Vst::IParameterChanges>(this, iid, object);
}

Vst::IParamValueQueue* PLUGIN_API Vst3ParameterChanges::getParameterData(int32 index) {
    if (index < 0 || index >= static_cast<int32>(queues.size()))
        return nullptr;
    return queues[static_cast<size_t>(index)];
}

Vst::IParamValueQueue* PLUGIN_API Vst3ParameterChanges::addParameterData(const Vst::ParamID& id,
                                                                         int32& index) {
    for (auto i = static_cast<int32>(queues.size()) - 1; i >= 0; --i) {
        if (queues[static_cast<size_t>(i)]->getParameterId() == id) {
            index = i;
            return queues[static_cast<size_t>(i)];
        }
    }
    Vst3ParamValueQueue* queue = Vst3ParamValueQueue::take(id);
    if (!queue)
        return nullptr;
    index = static_cast<int32>(queues.size());
    queues.push_back(queue);
    return queue;
}

} // namespace plugin
