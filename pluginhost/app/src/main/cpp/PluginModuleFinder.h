#pragma once

#include "base/core/FilePath.h"

#include <functional>

namespace plugin {

// Calls `found` with every plug-in module below `path` (or `path` itself), in directory listing order:
// files ending in ".vst" or ".so", and ".vst3" directories as a whole, which are not walked into. A
// directory that cannot be listed is reported on the error stream and the walk goes on.
void findPluginModules(const base::core::FilePath& path,
                       const std::function<void(const base::core::FilePath&)>& found);

} // namespace plugin
