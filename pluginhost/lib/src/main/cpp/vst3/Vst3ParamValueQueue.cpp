#include "vst3/Vst3ParamValueQueue.h"

#include "vst3/Vst3QueryInterface.h"

#include <cstdlib>
#include <new>

namespace plugin {

using namespace Steinberg;

namespace {

// A last-in first-out list of free queue blocks whose links live in the blocks' first word. The head
// carries a 16-bit change count above the 48 address bits, so that a block taken and given back between
// another thread's read and its compare-and-swap cannot be mistaken for the block it read (ABA).
class QueueFreeList {
public:
    QueueFreeList() = default;
    QueueFreeList(const QueueFreeList&) = delete;
    QueueFreeList& operator=(const QueueFreeList&) = delete;
    // At process exit: no queue is in use any more.
    ~QueueFreeList() {
        while (void* block = pop())
            std::free(block);
    }

    void* pop() {
        uint64_t head = this->head.load(std::memory_order_acquire);
        for (;;) {
            void* block = address(head);
            if (!block)
                return nullptr;
            void* next = *static_cast<void**>(block);
            if (this->head.compare_exchange_weak(head, pack(next, head), std::memory_order_acquire))
                return block;
        }
    }

    void push(void* block) {
        uint64_t head = this->head.load(std::memory_order_relaxed);
        do {
            *static_cast<void**>(block) = address(head);
        } while (!this->head.compare_exchange_weak(head, pack(block, head), std::memory_order_release));
    }

private:
    static constexpr uint64_t ADDRESS_MASK = (uint64_t{1} << 48) - 1;
    static void* address(uint64_t head) { return reinterpret_cast<void*>(head & ADDRESS_MASK); }
    static uint64_t pack(void* block, uint64_t previous) {
        return (reinterpret_cast<uint64_t>(block) & ADDRESS_MASK) |
               ((previous & ~ADDRESS_MASK) + (ADDRESS_MASK + 1));
    }

    std::atomic<uint64_t> head{0};
};

static_assert(std::atomic<uint64_t>::is_always_lock_free);

QueueFreeList queueAllocator;

} // namespace

Vst3ParamValueQueue* Vst3ParamValueQueue::take(Vst::ParamID id) {
    void* block = queueAllocator.pop();
    if (!block)
        block = std::malloc(sizeof(Vst3ParamValueQueue));
    if (!block)
        return nullptr;
    return new (block) Vst3ParamValueQueue(id);
}

void Vst3ParamValueQueue::recycle(Vst3ParamValueQueue* queue) {
    queue->~Vst3ParamValueQueue();
    queueAllocator.push(queue);
}

tresult PLUGIN_API Vst3ParamValueQueue::queryInterface(const TUID iid, void** object) {
    return queryOneInterface<Vst::IParamValueQueue>(this, iid, object);
}

tresult PLUGIN_API Vst3ParamValueQueue::getPoint(int32 index, int32& sampleOffset, Vst::ParamValue& value) {
    if (index < 0 || index >= count)
        return kInvalidArgument;
    sampleOffset = points[index].sampleOffset;
    value = points[index].value;
    return kResultOk;
}

tresult PLUGIN_API Vst3ParamValueQueue::addPoint(int32 sampleOffset, Vst::ParamValue value, int32& index) {
    if (count == CAPACITY)
        return kOutOfMemory;
    points[count] = {sampleOffset, value};
    index = count++;
    return kResultOk;
}

} // namespace plugin
