#pragma once

#include "base/core/String.h"

#include "pluginterfaces/base/ftypes.h"

namespace plugin {

// Host side. How the VST 3 adapter reports the result codes that plug-ins answer with: one place for the
// names of the codes, the logged form and the thrown form. Any thread.
class Vst3Debug {
public:
    // "kResultFalse", "kNoInterface", ...; "unknown result" for a code that is not the SDK's.
    static const char* getResultName(Steinberg::tresult result);
    // For a result other than kResultOk, writes "Unexpected result in <location><name>" on the error stream.
    // Returns the result unchanged, so a caller can go on with its stored values.
    static Steinberg::tresult checkResult(Steinberg::tresult result, const char* location);
    // For a result other than kResultOk, throws base::core::IOException naming the location, the code, the
    // source file and the line, so the client learns which step of which call failed.
    static void throwErrorMessageException(Steinberg::tresult result, const char* location, const char* file,
                                           int line);
};

} // namespace plugin
