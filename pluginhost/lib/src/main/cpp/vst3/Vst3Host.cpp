#include "vst3/Vst3Host.h"

#include "vst3/Vst3AttributeList.h"
#include "vst3/Vst3Message.h"
#include "vst3/Vst3PluginInstance.h"

namespace plugin {

using namespace Steinberg;

namespace {

constexpr char16_t HOST_NAME[] = u"Zelvar Studio";

bool equal(const TUID a, const TUID b) {
    return FUnknownPrivate::iidEqual(a, b);
}

} // namespace

Vst3Host::Vst3Host(Vst3PluginInstance* instance, PluginHost& host) : instance(instance), runLoop(host) {
    parameterIndices.max_load_factor(1.0f);
}

tresult PLUGIN_API Vst3Host::queryInterface(const TUID iid, void** object) {
    void* face = nullptr;
    if (equal(iid, Vst::IComponentHandler::iid) || equal(iid, FUnknown::iid))
        face = static_cast<Vst::IComponentHandler*>(this);
    else if (equal(iid, Vst::IComponentHandler2::iid))
        face = static_cast<Vst::IComponentHandler2*>(this);
    else if (equal(iid, Vst::IHostApplication::iid))
        face = static_cast<Vst::IHostApplication*>(this);
    else if (equal(iid, Linux::IRunLoop::iid))
        return runLoop.queryInterface(iid, object);
    if (!face) {
        *object = nullptr;
        return kNoInterface;
    }
    addRef();
    *object = face;
    return kResultOk;
}

tresult PLUGIN_API Vst3Host::getName(Vst::String128 name) {
    static_assert(sizeof(HOST_NAME) <= sizeof(Vst::String128));
    std::copy(std::begin(HOST_NAME), std::end(HOST_NAME), name);
    return kResultOk;
}

tresult PLUGIN_API Vst3Host::createInstance(TUID classId, TUID interfaceId, void** object) {
    // The caller owns the one reference each new object starts with.
    if (equal(classId, Vst::IMessage::iid) && equal(interfaceId, Vst::IMessage::iid)) {
        *object = static_cast<Vst::IMessage*>(new Vst3Message(this));
        return kResultOk;
    }
    if (equal(classId, Vst::IAttributeList::iid) && equal(interfaceId, Vst::IAttributeList::iid)) {
        *object = static_cast<Vst::IAttributeList*>(new Vst3AttributeList(this));
        return kResultOk;
    }
    *object = nullptr;
    return kResultFalse;
}

int32_t Vst3Host::getIndexOfParamID(Vst::ParamID id) {
    Vst::IEditController* controller = instance ? instance->getController() : nullptr;
    if (!controller)
        return -1;
    auto found = parameterIndices.find(id);
    if (found != parameterIndices.end() && found->second >= 0)
        return found->second;
    // Parameters may have come or gone since the last scan; entries are only ever overwritten.
    const int32 count = controller->getParameterCount();
    for (int32 index = 0; index < count; ++index) {
        Vst::ParameterInfo info{};
        if (controller->getParameterInfo(index, info) == kResultOk)
            parameterIndices[info.id] = index;
    }
    found = parameterIndices.find(id);
    return found == parameterIndices.end() ? -1 : found->second;
}

tresult PLUGIN_API Vst3Host::beginEdit(Vst::ParamID id) {
    const int32_t index = getIndexOfParamID(id);
    if (index < 0)
        return kInvalidArgument;
    instance->pluginBeginEditParameter(index);
    return kResultOk;
}

tresult PLUGIN_API Vst3Host::performEdit(Vst::ParamID id, Vst::ParamValue valueNormalized) {
    // Written so that NaN fails too.
    if (valueNormalized > 1.0 || !(valueNormalized >= 0.0))
        return kInvalidArgument;
    const int32_t index = getIndexOfParamID(id);
    if (index < 0)
        return kInvalidArgument;
    instance->pluginChangedNormalizedValue(index, static_cast<float>(valueNormalized));
    return kResultOk;
}

tresult PLUGIN_API Vst3Host::endEdit(Vst::ParamID id) {
    const int32_t index = getIndexOfParamID(id);
    if (index < 0)
        return kInvalidArgument;
    instance->pluginEndEditParameter(index);
    return kResultOk;
}

tresult PLUGIN_API Vst3Host::restartComponent(int32 flags) {
    if (!instance)
        return kResultFalse;
    instance->refreshAllParameters();
    return kResultOk;
}

} // namespace plugin
