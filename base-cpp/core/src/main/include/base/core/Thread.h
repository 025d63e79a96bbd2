#pragma once

#include "base/core/Object.h"
#include "base/core/String.h"

#include <cstdint>
#include <pthread.h>
#include <string>

namespace base::core {

// Length of one audio processing period; set in host mode before any audio thread starts.
extern double THREAD_PROCESSING_PERIOD_IN_SECONDS;

// The computation budget of a class-1 real-time thread: half the period, at most 3 ms.
double getRealtimeComputationTime(double periodInSeconds);

// The one way threads are started. Priority classes 0 and 1 ask for real-time scheduling (0 above 1);
// 2 to 7 are ordinary threads from high to low.
class Thread : public Object {
public:
    static constexpr size_t STACK_SIZE = 8388608;
    // Linux keeps this many bytes of a thread's name.
    static constexpr size_t MAX_NAME_BYTES = 15;

    Thread(const String& name, int32_t priorityClass);
    // Joins a started thread: the owner must have made run() return, or be about to, before letting go.
    ~Thread() override;

    void start();
    // Waits for run() to return; does nothing when not started or already joined. A subclass whose run() uses
    // its own members calls this in its destructor, since the base destructor runs after those are gone.
    void join();
    bool isCurrentThread() const;

    // Runs first on the new thread: applies name and priority.
    virtual void initializeThread();
    virtual void run() = 0;

    const std::string& getName() const { return name; }
    int32_t getPriorityClass() const { return priorityClass; }
    // 1 once started.
    int32_t getState() const { return state; }

private:
    static void* threadEntry(void* thread);
    void applyRealtimePriority();
    void applyOrdinaryPriority();

    pthread_t handle{};
    bool started = false;
    std::string name;
    int32_t priorityClass;
    int32_t state = 0;
};

} // namespace base::core
