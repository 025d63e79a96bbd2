// Both sides (host and test plug-ins). The SDK defines the ids of its core and VST interfaces in its own
// sources, but leaves those of the editor interfaces, the Linux run loop and the PreSonus view scaling
// to whoever uses them: defined once here so that every user of the SDK library shares them.
#include "ipslviewscaling.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"

namespace Steinberg {
DEF_CLASS_IID(IPlugView)
DEF_CLASS_IID(IPlugFrame)
DEF_CLASS_IID(IPlugViewContentScaleSupport)
namespace Linux {
DEF_CLASS_IID(IEventHandler)
DEF_CLASS_IID(ITimerHandler)
DEF_CLASS_IID(IRunLoop)
} // namespace Linux
} // namespace Steinberg

namespace Presonus {
DEF_CLASS_IID(IPlugInViewScaling)
} // namespace Presonus
