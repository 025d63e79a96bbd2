#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace plugin {

class PluginHost;

// Carries what plug-ins raise off the main thread (automation, edit gestures, a request to refresh every
// parameter; mostly from inside their processing) to the main thread as small records in a bounded
// lock-free queue, where they become notifications. Raising one takes no lock and allocates nothing; an
// audio thread inside a block wakes the main loop once, at the block's end, not once per event. Records that
// do not fit are counted and reported on the error stream, never allocated.
//
// Threads: push() and BlockScope on any thread; the constructor, destructor and drain() on the main thread.
class PluginHostNotificationQueue {
public:
    enum Kind : uint8_t { UPDATE_PARAMETER, BEGIN_EDIT_PARAMETER, END_EDIT_PARAMETER, UPDATE_ALL_PARAMETERS };
    struct Record {
        Kind kind;
        int32_t instanceId;
        int32_t index;
        float value;
    };
    static constexpr size_t CAPACITY = 4096; // a power of two

    // Registers its wake-up descriptor with the host's main loop.
    explicit PluginHostNotificationQueue(PluginHost* host);
    PluginHostNotificationQueue(const PluginHostNotificationQueue&) = delete;
    PluginHostNotificationQueue& operator=(const PluginHostNotificationQueue&) = delete;
    ~PluginHostNotificationQueue();

    // [any thread] Lock-free and allocation-free.
    void push(const Record& record);
    // [main] Sends what is queued as notifications of the instances that are still registered.
    void drain();
    // Records lost to a full queue since the last report.
    uint64_t getDroppedCount() const { return dropped.load(); }

    // [audio] Marks one block on the calling thread: its records wake the main loop once, when it ends.
    class BlockScope {
    public:
        BlockScope();
        BlockScope(const BlockScope&) = delete;
        BlockScope& operator=(const BlockScope&) = delete;
        ~BlockScope();
    };

private:
    struct Cell {
        std::atomic<size_t> sequence;
        Record record;
    };

    bool tryPush(const Record& record);
    bool tryPop(Record& record);
    void wake();

    PluginHost* host;
    int wakeFd;
    std::unique_ptr<Cell[]> cells;
    alignas(64) std::atomic<size_t> pushPosition{0};
    alignas(64) size_t popPosition = 0;
    std::atomic<uint64_t> dropped{0};
};

} // namespace plugin
