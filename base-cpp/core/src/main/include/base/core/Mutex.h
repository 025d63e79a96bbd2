#pragma once

#include "base/core/AbstractMutex.h"

#include <pthread.h>

namespace base::core {

class Mutex : public AbstractMutex {
public:
    Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    ~Mutex() override;

    void lock() override { pthread_mutex_lock(&mutex); }
    bool tryLock() override { return pthread_mutex_trylock(&mutex) == 0; }
    void unlock() override { pthread_mutex_unlock(&mutex); }
    bool isRecursive() const override { return false; }
    pthread_mutex_t* getNative() { return &mutex; }

private:
    pthread_mutex_t mutex;
};

} // namespace base::core
