#pragma once

#include "base/core/AbstractMutex.h"

namespace base::core {

// Holds an AbstractMutex for one scope.
class LockGuard {
public:
    explicit LockGuard(AbstractMutex& mutex) : mutex(mutex) { mutex.lock(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;
    ~LockGuard() { mutex.unlock(); }

private:
    AbstractMutex& mutex;
};

} // namespace base::core
