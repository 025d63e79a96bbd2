#include "HeapAudioContext.h"

#include <gtest/gtest.h>

using namespace plugin;
using plugin::test::HeapAudioContext;

TEST(PluginAudioContext, LayoutOfTwoByTwoChannelsAtBlockSize250) {
    HeapAudioContext context(250, 2, 2, 3, true);
    context.init();
    auto offsetOf = [&](const void* address) {
        return static_cast<const uint8_t*>(address) - context.getMemory();
    };
    EXPECT_EQ(context.getPaddedBlockSize(), 252);
    EXPECT_EQ(offsetOf(context.getTransport()), 16);
    EXPECT_EQ(offsetOf(context.getInputArea()), 128);
    EXPECT_EQ(offsetOf(context.getGuard(2)), 128 + 2016);
    EXPECT_EQ(offsetOf(context.getOutputArea()), 2160);
    EXPECT_EQ(offsetOf(context.getInputChannel(1)), 128 + 252 * 4);
    EXPECT_EQ(offsetOf(context.getGuard(3)), 2160 + 2016);
    // Areas are sized in 29-byte record slots: 256 for each event list, 4096 for the changes.
    const ptrdiff_t inputEventHeader = 2160 + 2016 + 16;
    EXPECT_EQ(offsetOf(context.getInputEvents().header), inputEventHeader);
    EXPECT_EQ(offsetOf(context.getInputEvents().records), inputEventHeader + 16);
    const ptrdiff_t outputEventHeader = inputEventHeader + 16 + 7424 + 16;
    EXPECT_EQ(offsetOf(context.getOutputEvents().header), outputEventHeader);
    const ptrdiff_t changesHeader = outputEventHeader + 16 + 7424 + 16;
    EXPECT_EQ(offsetOf(context.getParameterChanges().header), changesHeader);
    const ptrdiff_t flags = changesHeader + 16 + 118784 + 16;
    EXPECT_EQ(offsetOf(context.getGuard(6)), flags - 16);
    EXPECT_EQ(offsetOf(context.getGuard(7)), flags + 16);
    EXPECT_EQ(context.getMemorySize(), static_cast<size_t>(flags + 16 + 16));
}
