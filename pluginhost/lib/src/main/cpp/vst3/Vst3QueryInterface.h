#pragma once

#include "pluginterfaces/base/funknown.h"

namespace plugin {

// queryInterface of a host object that offers FUnknown and the one interface I. Threads: any.
template <class I> Steinberg::tresult queryOneInterface(I* object, const Steinberg::TUID iid, void** result) {
    if (Steinberg::FUnknownPrivate::iidEqual(iid, Steinberg::FUnknown::iid) ||
        Steinberg::FUnknownPrivate::iidEqual(iid, I::iid)) {
        object->addRef();
        *result = object;
        return Steinberg::kResultOk;
    }
    *result = nullptr;
    return Steinberg::kNoInterface;
}

} // namespace plugin
