#pragma once

#include <pthread.h>

namespace base::core {

class Mutex;

// A POSIX condition variable used with a separate Mutex; waits have no time-out and wake-ups reach all.
class ConditionVariable {
public:
    ConditionVariable();
    ConditionVariable(const ConditionVariable&) = delete;
    ConditionVariable& operator=(const ConditionVariable&) = delete;
    ~ConditionVariable();

    // The caller holds the mutex; it is released while waiting and held again on return. Wake-ups may be
    // spurious, so callers wait in a loop over their condition.
    void wait(Mutex& mutex);
    void broadcast();

private:
    pthread_cond_t condition;
};

} // namespace base::core
