#pragma once

#include "base/core/String.h"

#include <vector>

namespace plugin {

// The outcome of a test run: each failed plug-in with its message (same index), and the passed ones.
struct TestResults {
    std::vector<base::core::String> failedPaths;
    std::vector<base::core::String> failureMessages;
    std::vector<base::core::String> passedPaths;
};

} // namespace plugin
