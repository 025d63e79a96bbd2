#include "base/core/FixedSizeAllocator.h"
#include "base/core/AssertionFailedException.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

using namespace base::core;

TEST(FixedSizeAllocator, HandsOutEveryBlockOnceAndTakesBackOnlyItsOwn) {
    FixedSizeAllocator pool(64, 32);
    std::vector<void*> blocks;
    std::set<uintptr_t> addresses;
    for (int i = 0; i < 64; ++i) {
        blocks.push_back(pool.allocate());
        ASSERT_NE(blocks.back(), nullptr) << "block " << i;
        EXPECT_TRUE(pool.owns(blocks.back()));
        EXPECT_EQ(reinterpret_cast<uintptr_t>(blocks.back()) % 16, 0u);
        addresses.insert(reinterpret_cast<uintptr_t>(blocks.back()));
    }
    EXPECT_EQ(addresses.size(), 64u); // not overlapping
    EXPECT_EQ(pool.allocate(), nullptr);

    pool.free(blocks[5]);
    EXPECT_EQ(pool.allocate(), blocks[5]);
    EXPECT_EQ(pool.allocate(), nullptr);

    int outside = 0;
    EXPECT_THROW(pool.free(&outside), AssertionFailedException);
    EXPECT_THROW(pool.free(static_cast<char*>(blocks[1]) + 1), AssertionFailedException);
    pool.free(blocks[1]);
    EXPECT_THROW(pool.free(blocks[1]), AssertionFailedException);
    EXPECT_EQ(pool.getAllocatedCount(), 63u);
}
