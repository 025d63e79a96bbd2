#include "vst3/Vst3AttributeList.h"
#include "vst3/Vst3Message.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>

using namespace plugin;
using namespace Steinberg;

namespace {

TEST(Vst3AttributeList, EachIdHoldsTheLastValueSetAndGettersDoNotCheckTheKind) {
    IPtr<Vst::IAttributeList> list = owned(static_cast<Vst::IAttributeList*>(new Vst3AttributeList(nullptr)));
    list->setInt("a", 5);
    list->setFloat("a", 2.5);
    double number = 0;
    int64 integer = 0;
    EXPECT_EQ(list->getFloat("a", number), kResultOk);
    EXPECT_EQ(number, 2.5);
    EXPECT_EQ(list->getInt("a", integer), kResultOk);
    EXPECT_EQ(integer, std::bit_cast<int64>(2.5)) << "the float's bytes, reinterpreted";

    const Vst::TChar text[] = u"abcdefgh";
    list->setString("s", text);
    Vst::TChar buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(list->getString("s", buffer, 10), kResultOk);
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(buffer), 8), u"abcde###") << "5 characters, no zero";
    EXPECT_EQ(list->getString("a", buffer, sizeof buffer), kResultOk);
    EXPECT_EQ(buffer[0], u'a') << "a number has no characters";

    const void* data = &text;
    uint32 size = 99;
    EXPECT_EQ(list->getBinary("missing", data, size), kResultFalse);
    EXPECT_EQ(size, 0u);
    const uint8_t bytes[] = {1, 2, 3};
    list->setBinary("b", bytes, 3);
    ASSERT_EQ(list->getBinary("b", data, size), kResultOk);
    ASSERT_EQ(size, 3u);
    EXPECT_EQ(std::memcmp(data, bytes, 3), 0);
    EXPECT_NE(data, static_cast<const void*>(bytes)) << "a copy";
    EXPECT_EQ(list->getInt("missing", integer), kResultFalse);
    EXPECT_EQ(integer, std::bit_cast<int64>(2.5)) << "left untouched";
}

TEST(Vst3Message, KeepsACopyOfItsIdAndOneAttributeList) {
    IPtr<Vst::IMessage> message = owned(static_cast<Vst::IMessage*>(new Vst3Message(nullptr)));
    EXPECT_EQ(message->getMessageID(), nullptr);
    char id[] = "hello";
    message->setMessageID(id);
    id[0] = 'j';
    EXPECT_STREQ(message->getMessageID(), "hello");
    message->setMessageID(nullptr);
    EXPECT_EQ(message->getMessageID(), nullptr);
    Vst::IAttributeList* attributes = message->getAttributes();
    ASSERT_NE(attributes, nullptr);
    EXPECT_EQ(message->getAttributes(), attributes);
    attributes->setInt("latency", 42);
    int64 value = 0;
    EXPECT_EQ(message->getAttributes()->getInt("latency", value), kResultOk);
    EXPECT_EQ(value, 42);
}

} // namespace
