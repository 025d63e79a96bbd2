#pragma once

#include "base/core/Mutex.h"

#include <cstdint>
#include <memory>

namespace base::core {

// A pool of equally sized blocks in one contiguous area, with one occupancy bit per block: handing out
// and returning a block never touches the general-purpose heap.
class FixedSizeAllocator {
public:
    FixedSizeAllocator(uint32_t blockCount, uint64_t blockSize);
    FixedSizeAllocator(const FixedSizeAllocator&) = delete;
    FixedSizeAllocator& operator=(const FixedSizeAllocator&) = delete;

    // A free block, or null when every block is taken.
    void* allocate();
    // Returns a block that allocate() handed out; anything else is an assertion failure.
    void free(void* block);
    bool owns(const void* block) const;

    uint32_t getAllocatedCount() const { return allocatedCount; }
    uint32_t getBlockCount() const { return blockCount; }
    uint64_t getBlockSize() const { return blockSize; }

private:
    uint32_t allocatedCount = 0;
    uint32_t blockCount;
    uint64_t blockSize;
    std::unique_ptr<unsigned char[]> blocks;
    std::unique_ptr<uint8_t[]> occupied; // one bit per block
    uint32_t searchStart = 0;            // where the next search for a free block begins
    Mutex mutex;
};

// The process's temporary block pools, installed by the entry point.
extern std::unique_ptr<FixedSizeAllocator> fixed8;
extern std::unique_ptr<FixedSizeAllocator> fixed16;
extern std::unique_ptr<FixedSizeAllocator> fixed32;
extern std::unique_ptr<FixedSizeAllocator> fixed64;
extern std::unique_ptr<FixedSizeAllocator> fixed128;
extern std::unique_ptr<FixedSizeAllocator> fixed256;

// Installs fresh pools, fixed8 first and fixed256 last; pools installed before are freed.
void installFixedSizeAllocators();

} // namespace base::core
