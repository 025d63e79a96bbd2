#include "base/core/Thread.h"

#include "base/core/Assertion.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sched.h>

namespace base::core {

double THREAD_PROCESSING_PERIOD_IN_SECONDS = 0.0;

namespace {

constexpr const char* SOURCE = "base-cpp/core/src/main/cpp/Thread";

// SCHED_FIFO priorities of the real-time classes: above the kernel's interrupt threads (50), class 0 first.
constexpr int REALTIME_PRIORITY_CLASS_0 = 75;
constexpr int REALTIME_PRIORITY_CLASS_1 = 70;

// Cut to the bytes Linux keeps without splitting a UTF-8 sequence.
std::string cutName(std::string name) {
    if (name.size() <= Thread::MAX_NAME_BYTES)
        return name;
    size_t end = Thread::MAX_NAME_BYTES;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
        --end;
    name.resize(end);
    return name;
}

} // namespace

double getRealtimeComputationTime(double periodInSeconds) {
    return std::min(periodInSeconds / 2, 0.003);
}

Thread::Thread(const String& name, int32_t priorityClass)
    : name(name.getStdString()), priorityClass(priorityClass) {}

Thread::~Thread() {
    join();
    state = 3;
}

bool Thread::isCurrentThread() const {
    return started && pthread_equal(handle, pthread_self());
}

void Thread::join() {
    if (!started)
        return;
    // A thread that drops the last reference to itself cannot wait for itself.
    if (pthread_equal(handle, pthread_self()))
        pthread_detach(handle);
    else
        pthread_join(handle, nullptr);
    handle = pthread_t{};
    started = false;
}

void Thread::start() {
    if (started)
        BASE_ILLEGAL_STATE("Thread already started", SOURCE);
    state = 1;
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) {
        BASE_FATAL_STATE("pthread_attr_init() failed", SOURCE);
        return;
    }
    struct AttributesGuard {
        pthread_attr_t& attributes;
        ~AttributesGuard() { pthread_attr_destroy(&attributes); }
    } guard{attributes};
    if (pthread_attr_setstacksize(&attributes, STACK_SIZE) != 0) {
        BASE_FATAL_STATE("pthread_attr_setstacksize() failed", SOURCE);
        return;
    }
    if (pthread_create(&handle, &attributes, &Thread::threadEntry, this) != 0) {
        BASE_FATAL_STATE("pthread_create() failed", SOURCE);
        return;
    }
    started = true;
}

void* Thread::threadEntry(void* thread) {
    auto* self = static_cast<Thread*>(thread);
    self->initializeThread();
    self->run();
    return nullptr;
}

void Thread::initializeThread() {
    pthread_setname_np(pthread_self(), cutName(name).c_str());
    if (priorityClass == 0 || priorityClass == 1)
        applyRealtimePriority();
    else
        applyOrdinaryPriority();
}

void Thread::applyRealtimePriority() {
    // SCHED_FIFO has no budget to give; getRealtimeComputationTime states what class 1 is meant to use.
    sched_param parameters{};
    parameters.sched_priority = priorityClass == 0 ? REALTIME_PRIORITY_CLASS_0 : REALTIME_PRIORITY_CLASS_1;
    const int error = pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters);
    if (error == 0)
        return;
    getError()->writeLineAndFlush(StringBuilder() + "Err or setting realtime priority.\n" + error);
    applyOrdinaryPriority();
}

void Thread::applyOrdinaryPriority() {
    // A thread started from a real-time thread inherits its policy; ordinary threads must not keep it.
    int policy;
    sched_param parameters{};
    if (pthread_getschedparam(pthread_self(), &policy, &parameters) != 0 || policy == SCHED_OTHER)
        return;
    parameters.sched_priority = 0;
    const int error = pthread_setschedparam(pthread_self(), SCHED_OTHER, &parameters);
    if (error != 0) {
        getError()->writeLine(StringBuilder() +
                              "Error setting ordinary thread priority: " + std::strerror(error));
        getError()->flush();
    }
}

} // namespace base::core
