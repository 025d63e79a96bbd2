#include "base/core/Mutex.h"

#include "base/core/Assertion.h"

namespace base::core {

Mutex::Mutex() {
    if (pthread_mutex_init(&mutex, nullptr) != 0)
        BASE_FATAL_STATE("pthread_mutex_init failed", "base-cpp/core/src/main/cpp/Mutex");
}

Mutex::~Mutex() {
    pthread_mutex_destroy(&mutex);
}

} // namespace base::core
