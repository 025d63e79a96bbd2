#include "plugin/PluginInstanceTable.h"

#include <thread>

namespace plugin {

namespace {
constexpr uint32_t MASK = PluginInstanceTable::CAPACITY - 1;
}

PluginInstanceTable::PluginInstanceTable() : slots(new Slot[CAPACITY]) {
    for (int i = 0; i < CAPACITY; ++i)
        slots[i].key.store(EMPTY, std::memory_order_relaxed);
}

uint32_t PluginInstanceTable::home(int32_t instanceId) {
    // Fibonacci hashing spreads the small consecutive ids that clients hand out.
    return (static_cast<uint32_t>(instanceId) * 2654435761u) >> 20;
}

PluginInstanceTable::Slot* PluginInstanceTable::find(int32_t instanceId) const {
    for (uint32_t probe = 0; probe < CAPACITY; ++probe) {
        Slot& slot = slots[(home(instanceId) + probe) & MASK];
        const int64_t key = slot.key.load(std::memory_order_acquire);
        if (key == EMPTY)
            return nullptr;
        if (key == instanceId)
            return &slot;
    }
    return nullptr;
}

PluginInstanceTable::Pin PluginInstanceTable::pin(int32_t instanceId) const {
    Slot* slot = find(instanceId);
    if (!slot)
        return {};
    // Announce the use before looking at the instance: remove() clears the instance before it looks at the
    // users, so in the single order of these sequentially consistent operations either this thread sees no
    // instance or remove() sees this user and waits for it.
    slot->users.fetch_add(1, std::memory_order_seq_cst);
    PluginInstance* instance = slot->instance.load(std::memory_order_seq_cst);
    // The slot may have been given to another id since find(); then the instance is not ours.
    if (instance && slot->key.load(std::memory_order_seq_cst) == instanceId)
        return Pin(slot, instance);
    slot->users.fetch_sub(1, std::memory_order_release);
    return {};
}

bool PluginInstanceTable::add(int32_t instanceId, PluginInstance* instance) {
    if (find(instanceId))
        return false;
    for (uint32_t probe = 0; probe < CAPACITY; ++probe) {
        Slot& slot = slots[(home(instanceId) + probe) & MASK];
        const int64_t key = slot.key.load(std::memory_order_relaxed);
        if (key != EMPTY && key != REMOVED)
            continue;
        // The key first: a reader that sees the instance then also sees whose it is.
        slot.key.store(instanceId, std::memory_order_seq_cst);
        slot.instance.store(instance, std::memory_order_seq_cst);
        return true;
    }
    return false;
}

void PluginInstanceTable::remove(int32_t instanceId) {
    Slot* slot = find(instanceId);
    if (!slot)
        return;
    slot->instance.store(nullptr, std::memory_order_seq_cst);
    // An audio thread inside the plug-in (a slow stop or process call) finishes first; the wait is as long
    // as that call.
    while (slot->users.load(std::memory_order_seq_cst) != 0)
        std::this_thread::yield();
    slot->key.store(REMOVED, std::memory_order_seq_cst);
    // A removed slot that ends a probe chain ends it for good: turn the chain's tail back into empty slots,
    // so that lookups of absent ids stay short however many instances come and go.
    uint32_t index = static_cast<uint32_t>(slot - slots.get());
    if (slots[(index + 1) & MASK].key.load(std::memory_order_relaxed) != EMPTY)
        return;
    while (slots[index].key.load(std::memory_order_relaxed) == REMOVED) {
        slots[index].key.store(EMPTY, std::memory_order_seq_cst);
        index = (index - 1) & MASK;
    }
}

} // namespace plugin
