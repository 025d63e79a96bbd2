#include "base/core/ConditionVariable.h"

#include "base/core/Assertion.h"
#include "base/core/Mutex.h"

namespace base::core {

ConditionVariable::ConditionVariable() {
    pthread_condattr_t attributes;
    const bool haveAttributes = pthread_condattr_init(&attributes) == 0;
    if (!haveAttributes)
        BASE_FATAL_STATE("pthread_condattr_init() failed", "base-cpp/core/src/main/cpp/ConditionVariable");
    const int result = pthread_cond_init(&condition, haveAttributes ? &attributes : nullptr);
    if (haveAttributes)
        pthread_condattr_destroy(&attributes);
    if (result != 0)
        BASE_FATAL_STATE("pthread_cond_init() failed", "base-cpp/core/src/main/cpp/ConditionVariable");
}

ConditionVariable::~ConditionVariable() {
    pthread_cond_destroy(&condition);
}

void ConditionVariable::wait(Mutex& mutex) {
    pthread_cond_wait(&condition, mutex.getNative());
}

void ConditionVariable::broadcast() {
    pthread_cond_broadcast(&condition);
}

} // namespace base::core
