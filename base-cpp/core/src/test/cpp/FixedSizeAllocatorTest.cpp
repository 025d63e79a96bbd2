#include "base/core/FixedSizeAllocator.h"
#include "base/core/AssertionFailedException.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

using base::core::FixedSizeAllocator;

TEST(FixedSizeAllocator, HandsOutEveryBlockOnceThenNothing) {
    FixedSizeAllocator pool(64, 32);
    std::set<uintptr_t> addresses;
    for (int i = 0; i < 64; ++i) {
        void* block = pool.allocate();
        ASSERT_NE(block, nullptr) << "block " << i;
        EXPECT_TRUE(pool.owns(block));
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u);
        addresses.insert(reinterpret_cast<uintptr_t>(block));
    }
    EXPECT_EQ(addresses.size(), 64u);
    // Blocks are contiguous and do not overlap.
    EXPECT_EQ(*addresses.rbegin() - *addresses.begin(), 63u * 32u);
    EXPECT_EQ(pool.getAllocatedCount(), 64u);
    EXPECT_EQ(pool.allocate(), nullptr);
}

TEST(FixedSizeAllocator, FreedBlockIsHandedOutAgain) {
    FixedSizeAllocator pool(8, 16);
    std::vector<void*> blocks;
    for (int i = 0; i < 8; ++i)
        blocks.push_back(pool.allocate());
    pool.free(blocks[5]);
    EXPECT_EQ(pool.getAllocatedCount(), 7u);
    EXPECT_EQ(pool.allocate(), blocks[5]);
    EXPECT_EQ(pool.allocate(), nullptr);
}

TEST(FixedSizeAllocator, RejectsForeignAndDoubleFrees) {
    FixedSizeAllocator pool(8, 16);
    void* block = pool.allocate();
    int outside = 0;
    EXPECT_THROW(pool.free(&outside), base::core::AssertionFailedException);
    EXPECT_THROW(pool.free(static_cast<char*>(block) + 1), base::core::AssertionFailedException);
    pool.free(block);
    EXPECT_THROW(pool.free(block), base::core::AssertionFailedException);
    EXPECT_EQ(pool.getAllocatedCount(), 0u);
}

TEST(FixedSizeAllocator, InstallReplacesThePools) {
    base::core::installFixedSizeAllocators();
    ASSERT_TRUE(base::core::fixed8 && base::core::fixed256);
    EXPECT_EQ(base::core::fixed8->getBlockCount(), 4096u);
    EXPECT_EQ(base::core::fixed16->getBlockSize(), 16u);
    EXPECT_EQ(base::core::fixed128->getBlockCount(), 64u);
    void* block = base::core::fixed64->allocate();
    ASSERT_NE(block, nullptr);
    base::core::installFixedSizeAllocators();
    EXPECT_EQ(base::core::fixed64->getAllocatedCount(), 0u);
}
