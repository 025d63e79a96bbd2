#pragma once

#include "base/core/FilePath.h"
#include "base/core/String.h"

#include <cstdint>

namespace base::core {
class OutputStream;
}

namespace plugin {

// The instance id of the next report; each report uses one for all the plug-ins of its module.
extern int32_t nextPluginInstanceId;

// Prints the native path of every plug-in module found below `path` on standard output, one a line:
// files ending in ".vst" or ".so", and ".vst3" directories, which are not walked into.
void listPlugins(const base::core::FilePath& path);

// Writes the description of every plug-in in the module to `out`. Returns 0 when every plug-in was
// described, 1 when some failed, -1, -2 or -3 when the whole report failed (a base exception, another
// exception, a standard library exception).
int32_t writePluginInfo(const base::core::String& modulePath, base::core::OutputStream* out);

} // namespace plugin
