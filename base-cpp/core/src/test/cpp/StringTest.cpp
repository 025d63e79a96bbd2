#include "base/core/String.h"
#include "base/core/NumberFormatException.h"
#include "base/core/StringBuilder.h"

#include "ProcessTestSupport.h"

using namespace base::core;
using base::core::test::failureOf;

TEST(String, SubstringCompareAndEnds) {
    String abcd("abcd");
    EXPECT_EQ(abcd.substring(2, String::END), "cd");
    EXPECT_EQ(abcd.substring(1, 3), "bc");
    EXPECT_EQ(abcd.substring(1, 99), "bcd");
    EXPECT_TRUE(abcd.substring(2, 2).isEmpty());
    EXPECT_FALSE(String("ab") == "abc");
    EXPECT_FALSE(String("abcd") == "abc");
    EXPECT_EQ(String("ABC").compareToIgnoreCase("abc"), 0);
    EXPECT_NE(String("\u00c9").compareToIgnoreCase("\u00e9"), 0);
    EXPECT_TRUE(String("plug.vst3").endsWith("vst3"));
    EXPECT_FALSE(String("st3").endsWith("vst3"));
}

TEST(String, SeparateAndAsInt32) {
    std::vector<String> pieces;
    String("a,,b,").separate(pieces, ',', 0);
    EXPECT_EQ(pieces, std::vector<String>({"a", "", "b"}));
    pieces.clear();
    String().separate(pieces, ',', 0);
    String("abc").separate(pieces, ',', 5);
    EXPECT_TRUE(pieces.empty());

    EXPECT_EQ(String(" -42 ").asInt32(10), -42);
    EXPECT_EQ(String("2147483647").asInt32(10), 2147483647);
    for (const std::string bad : {"12a", "", "-", "1 2", "x1"})
        EXPECT_EQ(failureOf<NumberFormatException>([&] { String(bad).asInt32(10); }),
                  "Invalid number: " + bad);
}

TEST(String, ConstructionFromEncodingsAndNumbers) {
    const char16_t units[] = {0xD83D, 0xDE00, u'a', 0};
    String fromUtf16(units);
    ASSERT_EQ(fromUtf16.length(), 2);
    EXPECT_EQ(fromUtf16[0], 0x1F600u);
    EXPECT_EQ(fromUtf16.getStdString(), "\xF0\x9F\x98\x80"
                                        "a");
    EXPECT_EQ(String(StringBuilder() + 2.0f), "2.0");
    EXPECT_EQ(String(StringBuilder() + 0.5f), "0.5");
    EXPECT_EQ(String(StringBuilder() + "n=" + -3 + ' ' + String("x")), "n=-3 x");
}
