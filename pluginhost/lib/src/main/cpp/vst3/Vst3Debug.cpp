#include "vst3/Vst3Debug.h"

#include "base/core/IOException.h"
#include "base/core/OutputStream.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"

#include "pluginterfaces/base/funknown.h"

namespace plugin {

using base::core::StringBuilder;

namespace {

const char* knownResultName(Steinberg::tresult result) {
    switch (result) {
    case Steinberg::kNoInterface:
        return "kNoInterface";
    case Steinberg::kResultFalse:
        return "kResultFalse";
    case Steinberg::kInvalidArgument:
        return "kInvalidArgument";
    case Steinberg::kNotImplemented:
        return "kNotImplemented";
    case Steinberg::kInternalError:
        return "kInternalError";
    case Steinberg::kNotInitialized:
        return "kNotInitialized";
    case Steinberg::kOutOfMemory:
        return "kOutOfMemory";
    default:
        return nullptr;
    }
}

} // namespace

const char* Vst3Debug::getResultName(Steinberg::tresult result) {
    const char* name = knownResultName(result);
    return name ? name : "unknown result";
}

Steinberg::tresult Vst3Debug::checkResult(Steinberg::tresult result, const char* location) {
    if (result != Steinberg::kResultOk) {
        base::core::getError()->writeLine(StringBuilder() + "Unexpected result in location " + location +
                                          getResultName(result));
        base::core::getError()->flush();
    }
    return result;
}

void Vst3Debug::throwErrorMessageException(Steinberg::tresult result, const char* location, const char* file,
                                           int line) {
    if (result == Steinberg::kResultOk)
        return;
    const char* name = knownResultName(result);
    throw base::core::IOException(StringBuilder() + location +
                                  " returned error code: " + static_cast<int>(result) + " (" +
                                  (name ? name : "Unknown result!") + ")\n in " + file + " : " + line);
}

} // namespace plugin
