#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

namespace plugin {

class PluginInstance;

// The instances that audio threads can reach, found without a lock and without allocating. Only the main
// thread adds and removes; an audio thread pins an instance for the length of one command. remove() returns
// only once no audio thread is inside the instance, so the plug-in may then be closed and freed.
//
// Threads: add() and remove() on the main thread only; pin() on any thread.
class PluginInstanceTable {
public:
    static constexpr int CAPACITY = 4096; // a power of two

    PluginInstanceTable();
    PluginInstanceTable(const PluginInstanceTable&) = delete;
    PluginInstanceTable& operator=(const PluginInstanceTable&) = delete;

private:
    struct Slot {
        std::atomic<int64_t> key;
        std::atomic<PluginInstance*> instance{nullptr};
        // Audio threads inside `instance` (or about to look at it).
        std::atomic<int32_t> users{0};
    };

public:
    // An instance held for one command; empty when the id names no live instance. [audio]
    class Pin {
    public:
        Pin() = default;
        Pin(const Pin&) = delete;
        Pin& operator=(const Pin&) = delete;
        ~Pin() {
            if (slot)
                slot->users.fetch_sub(1, std::memory_order_release);
        }
        explicit operator bool() const { return instance != nullptr; }
        PluginInstance* operator->() const { return instance; }
        PluginInstance* get() const { return instance; }

    private:
        friend class PluginInstanceTable;
        Pin(Slot* slot, PluginInstance* instance) : slot(slot), instance(instance) {}

        Slot* slot = nullptr;
        PluginInstance* instance = nullptr;
    };

    // [any thread] Lock-free; a few atomic operations.
    Pin pin(int32_t instanceId) const;
    // [main] False when the id is taken or the table is full.
    bool add(int32_t instanceId, PluginInstance* instance);
    // [main] Unpublishes the instance and waits until no audio thread is inside it.
    void remove(int32_t instanceId);

private:
    static constexpr int64_t EMPTY = INT64_MIN;
    static constexpr int64_t REMOVED = INT64_MIN + 1;

    Slot* find(int32_t instanceId) const;
    static uint32_t home(int32_t instanceId);

    std::unique_ptr<Slot[]> slots;
};

} // namespace plugin
