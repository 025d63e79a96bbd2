#include "plugin/PluginHostNotificationQueue.h"

#include "base/core/IOException.h"
#include "base/core/SmartPtr.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "linux/MainLoop.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginHostNotifications.h"
#include "plugin/PluginInstance.h"

#include <cerrno>
#include <cstring>
#include <sys/eventfd.h>
#include <unistd.h>

namespace plugin {

using base::core::SmartPtr;
using base::core::StringBuilder;

namespace {

// The queue whose wake-up the calling thread's current block owes; null outside a block.
thread_local bool insideBlock = false;
thread_local PluginHostNotificationQueue* owedWake = nullptr;

} // namespace

PluginHostNotificationQueue::PluginHostNotificationQueue(PluginHost* host)
    : host(host), wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), cells(new Cell[CAPACITY]) {
    if (wakeFd < 0)
        throw base::core::IOException(
            StringBuilder() + "Could not create the notification queue's eventfd: " + std::strerror(errno));
    for (size_t i = 0; i < CAPACITY; ++i)
        cells[i].sequence.store(i, std::memory_order_relaxed);
    host->getMainLoop().addFileDescriptor(wakeFd, [this] { drain(); });
}

PluginHostNotificationQueue::~PluginHostNotificationQueue() {
    host->getMainLoop().removeFileDescriptor(wakeFd);
    close(wakeFd);
}

void PluginHostNotificationQueue::push(const Record& record) {
    if (!tryPush(record))
        dropped.fetch_add(1, std::memory_order_relaxed);
    if (insideBlock)
        owedWake = this;
    else
        wake();
}

void PluginHostNotificationQueue::wake() {
    const uint64_t one = 1;
    // The counter cannot overflow in practice; a failed write only delays the records to the next wake-up.
    [[maybe_unused]] const ssize_t written = write(wakeFd, &one, sizeof one);
}

// A bounded multi-producer queue in the manner of Vyukov: each cell's sequence number says whether it is free
// for the position a producer claims, or filled for the position the consumer expects.
bool PluginHostNotificationQueue::tryPush(const Record& record) {
    size_t position = pushPosition.load(std::memory_order_relaxed);
    for (;;) {
        Cell& cell = cells[position & (CAPACITY - 1)];
        const size_t sequence = cell.sequence.load(std::memory_order_acquire);
        const auto difference = static_cast<intptr_t>(sequence) - static_cast<intptr_t>(position);
        if (difference == 0) {
            if (pushPosition.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) {
                cell.record = record;
                cell.sequence.store(position + 1, std::memory_order_release);
                return true;
            }
        } else if (difference < 0) {
            return false; // full
        } else {
            position = pushPosition.load(std::memory_order_relaxed);
        }
    }
}

bool PluginHostNotificationQueue::tryPop(Record& record) {
    Cell& cell = cells[popPosition & (CAPACITY - 1)];
    if (cell.sequence.load(std::memory_order_acquire) != popPosition + 1)
        return false;
    record = cell.record;
    cell.sequence.store(popPosition + CAPACITY, std::memory_order_release);
    ++popPosition;
    return true;
}

void PluginHostNotificationQueue::drain() {
    uint64_t counter;
    while (read(wakeFd, &counter, sizeof counter) < 0 && errno == EINTR) {
    }
    Record record;
    while (tryPop(record)) {
        PluginInstance* instance = host->getPluginInstance(static_cast<unsigned int>(record.instanceId));
        PluginHostProxyHandler* handler = instance ? instance->getProxyHandler() : nullptr;
        if (!handler || instance->isSettingUp())
            continue; // destroyed, or not yet announced to the client, since the record was raised
        SmartPtr<PluginHostNotification> notification;
        switch (record.kind) {
        case UPDATE_PARAMETER:
            notification = new UpdateParameterNotification(handler, instance, record.index, record.value);
            break;
        case BEGIN_EDIT_PARAMETER:
        case END_EDIT_PARAMETER:
            notification = new BeginOrEndEditParameterNotification(handler, instance, record.index,
                                                                   record.kind == BEGIN_EDIT_PARAMETER);
            break;
        case UPDATE_ALL_PARAMETERS:
            instance->refreshAllParameters();
            continue;
        }
        notification->run();
    }
    if (const uint64_t lost = dropped.exchange(0))
        base::core::getError()->writeLine(StringBuilder() + "Dropped " + static_cast<int64_t>(lost) +
                                          " plug-in parameter notifications: more came in one main-loop turn "
                                          "than the queue holds");
}

PluginHostNotificationQueue::BlockScope::BlockScope() {
    insideBlock = true;
}

PluginHostNotificationQueue::BlockScope::~BlockScope() {
    insideBlock = false;
    if (PluginHostNotificationQueue* queue = owedWake) {
        owedWake = nullptr;
        queue->wake();
    }
}

} // namespace plugin
