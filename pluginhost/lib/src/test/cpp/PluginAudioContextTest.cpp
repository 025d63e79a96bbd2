#include "HeapAudioContext.h"

#include <gtest/gtest.h>

using namespace plugin;
using plugin::test::HeapAudioContext;

namespace {

ptrdiff_t offsetOf(const PluginAudioContext& context, const void* address) {
    return static_cast<const uint8_t*>(address) - context.getMemory();
}

} // namespace

TEST(PluginAudioContext, LayoutOfTwoByTwoChannelsAtBlockSize250AndOfNoParameters) {
    HeapAudioContext context(250, 2, 2, 3, true);
    context.init();
    EXPECT_EQ(context.getPaddedBlockSize(), 252);
    EXPECT_EQ(offsetOf(context, context.getTransport()), 16);
    EXPECT_EQ(offsetOf(context, context.getInputArea()), 128);
    EXPECT_EQ(offsetOf(context, context.getGuard(2)), 128 + 2016);
    EXPECT_EQ(offsetOf(context, context.getOutputArea()), 2160);
    EXPECT_EQ(offsetOf(context, context.getInputChannel(1)), 128 + 252 * 4);
    EXPECT_EQ(offsetOf(context, context.getGuard(3)), 2160 + 2016);
    // Areas are sized in 29-byte record slots: 256 for each event list, 4096 for the changes.
    const ptrdiff_t inputEventHeader = 2160 + 2016 + 16;
    EXPECT_EQ(offsetOf(context, context.getInputEvents().header), inputEventHeader);
    EXPECT_EQ(offsetOf(context, context.getInputEvents().records), inputEventHeader + 16);
    const ptrdiff_t outputEventHeader = inputEventHeader + 16 + 7424 + 16;
    EXPECT_EQ(offsetOf(context, context.getOutputEvents().header), outputEventHeader);
    const ptrdiff_t changesHeader = outputEventHeader + 16 + 7424 + 16;
    EXPECT_EQ(offsetOf(context, context.getParameterChanges().header), changesHeader);
    const ptrdiff_t flags = changesHeader + 16 + 118784 + 16;
    EXPECT_EQ(offsetOf(context, context.getGuard(6)), flags - 16);
    EXPECT_EQ(offsetOf(context, context.getGuard(7)), flags + 16);
    EXPECT_EQ(context.getMemorySize(), static_cast<size_t>(flags + 16 + 16));

    // Without parameters guard 8 comes right after guard 7.
    HeapAudioContext none(64, 0, 1, 0, false);
    none.init();
    EXPECT_EQ(none.getGuard(7) - none.getGuard(6), 16);
    EXPECT_EQ(none.getMemorySize(), static_cast<size_t>(none.getGuard(7) + 16 - none.getMemory()));
}
