#pragma once

#include "base/core/AbstractMutex.h"

#include <pthread.h>

namespace base::core {

class RecursiveMutex : public AbstractMutex {
public:
    RecursiveMutex();
    RecursiveMutex(const RecursiveMutex&) = delete;
    RecursiveMutex& operator=(const RecursiveMutex&) = delete;
    ~RecursiveMutex() override;

    void lock() override { pthread_mutex_lock(&mutex); }
    bool tryLock() override { return pthread_mutex_trylock(&mutex) == 0; }
    void unlock() override { pthread_mutex_unlock(&mutex); }
    bool isRecursive() const override { return true; }

private:
    pthread_mutex_t mutex;
};

} // namespace base::core
