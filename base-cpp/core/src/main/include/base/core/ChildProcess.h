#pragma once

#include "base/core/Object.h"
#include "base/core/String.h"

#include <cstdint>
#include <vector>

namespace base::core {

// Another program started by this process. A child still running when this value is destroyed is killed
// and reaped.
class ChildProcess : public Object {
public:
    ChildProcess() = default;
    ~ChildProcess() override;

    // The first argument is the program, looked up on PATH. The environment is accepted but not applied:
    // the child inherits this process's environment. A program that cannot be executed is seen only when
    // waiting, as exit status 255.
    void launch(const std::vector<String>& arguments, const std::vector<String>& environment);
    // Blocks until the child ends; a non-zero status is reported on the error stream.
    // Returns the exit code (128 + the signal for a child ended by a signal); -1 when no child is running.
    int waitForExit();

    // 0 while no child is running.
    int32_t getPid() const { return pid; }

private:
    int32_t pid = 0;
};

} // namespace base::core
