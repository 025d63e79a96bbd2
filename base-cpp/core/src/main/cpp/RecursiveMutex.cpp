#include "base/core/RecursiveMutex.h"

#include "base/core/Assertion.h"

namespace base::core {

RecursiveMutex::RecursiveMutex() {
    pthread_mutexattr_t attributes;
    if (pthread_mutexattr_init(&attributes) != 0)
        BASE_FATAL_STATE("pthread_mutexattr_init() failed", "base-cpp/core/src/main/cpp/RecursiveMutex");
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    const int result = pthread_mutex_init(&mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    if (result != 0)
        BASE_FATAL_STATE("pthread_mutex_init() failed", "base-cpp/core/src/main/cpp/RecursiveMutex");
}

RecursiveMutex::~RecursiveMutex() {
    pthread_mutex_destroy(&mutex);
}

} // namespace base::core
