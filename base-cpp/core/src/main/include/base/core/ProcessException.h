#pragma once

#include "base/core/Exception.h"

namespace base::core {

BASE_CORE_DECLARE_EXCEPTION(ProcessException, Exception)

} // namespace base::core
