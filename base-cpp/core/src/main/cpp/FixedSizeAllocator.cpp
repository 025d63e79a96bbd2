#include "base/core/FixedSizeAllocator.h"

#include "base/core/Assertion.h"
#include "base/core/LockGuard.h"

namespace base::core {

namespace {
constexpr const char* SOURCE = "base-cpp/core/src/main/cpp/FixedSizeAllocator";
}

std::unique_ptr<FixedSizeAllocator> fixed8;
std::unique_ptr<FixedSizeAllocator> fixed16;
std::unique_ptr<FixedSizeAllocator> fixed32;
std::unique_ptr<FixedSizeAllocator> fixed64;
std::unique_ptr<FixedSizeAllocator> fixed128;
std::unique_ptr<FixedSizeAllocator> fixed256;

FixedSizeAllocator::FixedSizeAllocator(uint32_t blockCount, uint64_t blockSize)
    : blockCount(blockCount), blockSize(blockSize), blocks(new unsigned char[blockCount * blockSize]),
      occupied(new uint8_t[(blockCount + 7) / 8]()) {}

void* FixedSizeAllocator::allocate() {
    LockGuard guard(mutex);
    for (uint32_t step = 0; step < blockCount; ++step) {
        const uint32_t index = (searchStart + step) % blockCount;
        uint8_t& byte = occupied[index / 8];
        const auto bit = static_cast<uint8_t>(1u << (index % 8));
        if (byte & bit)
            continue;
        byte |= bit;
        ++allocatedCount;
        searchStart = (index + 1) % blockCount;
        return blocks.get() + index * blockSize;
    }
    return nullptr;
}

bool FixedSizeAllocator::owns(const void* block) const {
    const auto* address = static_cast<const unsigned char*>(block);
    return address >= blocks.get() && address < blocks.get() + blockCount * blockSize &&
           (address - blocks.get()) % blockSize == 0;
}

void FixedSizeAllocator::free(void* block) {
    BASE_ASSERT_MSG(owns(block), "Block does not belong to this pool", SOURCE);
    LockGuard guard(mutex);
    const auto index = static_cast<uint32_t>((static_cast<unsigned char*>(block) - blocks.get()) / blockSize);
    uint8_t& byte = occupied[index / 8];
    const auto bit = static_cast<uint8_t>(1u << (index % 8));
    BASE_ASSERT_MSG((byte & bit) != 0, "Block freed twice", SOURCE);
    byte &= static_cast<uint8_t>(~bit);
    --allocatedCount;
}

void installFixedSizeAllocators() {
    fixed8 = std::make_unique<FixedSizeAllocator>(4096, 8);
    fixed16 = std::make_unique<FixedSizeAllocator>(4096, 16);
    fixed32 = std::make_unique<FixedSizeAllocator>(64, 32);
    fixed64 = std::make_unique<FixedSizeAllocator>(64, 64);
    fixed128 = std::make_unique<FixedSizeAllocator>(64, 128);
    fixed256 = std::make_unique<FixedSizeAllocator>(64, 256);
}

} // namespace base::core
