#pragma once

#include "base/core/Exception.h"

namespace plugin {

// Plug-in loading and instance failures.
BASE_CORE_DECLARE_EXCEPTION(PluginException, base::core::Exception)

} // namespace plugin
